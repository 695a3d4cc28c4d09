#pragma once
// Call links: the number a "tel:", "sip:" or "callto:" link (or a plain
// number) stands for, in the form the phone's number box takes: digits,
// "+", "*" and "#".
//
//   tel:+1-555-0100;phone-context=example.com   ->  +15550100
//   sip:1001@pbx.example.com;user=phone          ->  1001
//   callto://+4930123456                         ->  +4930123456
//
// Percent escapes are decoded first (as UTF-8). Visual separators ("-",
// ".", "(", ")", spaces, tabs) are dropped; parameters after ";" and headers
// after "?" are ignored; a "sip:" link gives its user part, without a
// password. Anything else (letters, a name instead of a number, an unknown
// scheme, broken escapes) is refused with a sentence saying why.

#include <QString>

namespace pelex::host {

struct CallLink {
    QString number;  ///< the dialable number; empty when refused
    QString error;   ///< why the link cannot be dialled; empty when accepted
    bool ok() const { return error.isEmpty(); }
};

/// Reads `text`, a call link or a plain number.
CallLink parseCallLink(const QString& text);

}  // namespace pelex::host
