#pragma once
// The contact list that USB and USF keep: rows with a key, a caption, one
// status sub-item and a small-icon index. Nothing in the phone supplies
// one; a host that shows contacts implements this.

#include <QString>

namespace pelex::account_protocol {

class ContactList {
public:
    virtual ~ContactList() = default;
    /// Adds a row. Throws when a row with `key` exists already (the
    /// existing row is left as it was).
    virtual void addRow(const QString& key, const QString& caption) = 0;
    /// Sets the text of sub-item `index` (1 = the status column) of the row
    /// with `key`. Throws when there is no such row.
    virtual void setSubItem(const QString& key, int index, const QString& text) = 0;
    /// Sets the small-icon index of the row with `key`. Throws when there is
    /// no such row.
    virtual void setSmallIcon(const QString& key, int icon) = 0;
};

}  // namespace pelex::account_protocol
