#pragma once
// A contact list for tests: rows in a map, failing where a list view fails
// (a second row with the same key, a key that has no row).

#include <QString>

#include <map>
#include <stdexcept>

#include "account_protocol/contact_list.h"

namespace pelex::account_protocol::testing {

class MemoryContactList : public ContactList {
public:
    struct Row {
        QString caption;
        QString status;  ///< sub-item 1
        int smallIcon = 0;
    };

    void addRow(const QString& key, const QString& caption) override {
        if (!rows.emplace(key, Row{caption, {}, 0}).second) throw std::runtime_error("key is not unique");
    }
    void setSubItem(const QString& key, int index, const QString& text) override {
        if (index != 1) throw std::out_of_range("no such sub-item");
        row(key).status = text;
    }
    void setSmallIcon(const QString& key, int icon) override { row(key).smallIcon = icon; }

    std::map<QString, Row> rows;

private:
    Row& row(const QString& key) {
        const auto it = rows.find(key);
        if (it == rows.end()) throw std::out_of_range("no row with that key");
        return it->second;
    }
};

}  // namespace pelex::account_protocol::testing
