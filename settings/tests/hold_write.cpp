// Test helper: holds a write transaction on a settings store open, the way
// another program of the phone does in the middle of a write.
//
// Usage: settings_hold_write STORE NAME DATA
// Overwrites every value called NAME with DATA inside one write transaction,
// prints "holding" and waits for a line on standard input; then commits,
// prints "committed" and ends.

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

int fail(sqlite3* db, const char* what) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    sqlite3_close(db);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: settings_hold_write STORE NAME DATA\n");
        return 2;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return fail(db, "open");
    sqlite3_busy_timeout(db, 10000);
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return fail(db, "begin");
    sqlite3_stmt* update = nullptr;
    if (sqlite3_prepare_v2(db, "UPDATE key_values SET data = ?1 WHERE name = ?2", -1, &update, nullptr) != SQLITE_OK) {
        return fail(db, "prepare");
    }
    sqlite3_bind_blob(update, 1, argv[3], static_cast<int>(std::strlen(argv[3])), SQLITE_STATIC);
    sqlite3_bind_blob(update, 2, argv[2], static_cast<int>(std::strlen(argv[2])), SQLITE_STATIC);
    const int rc = sqlite3_step(update);
    sqlite3_finalize(update);
    if (rc != SQLITE_DONE || sqlite3_changes(db) == 0) return fail(db, "update");
    std::cout << "holding" << std::endl;
    std::string line;
    std::getline(std::cin, line);
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return fail(db, "commit");
    sqlite3_close(db);
    std::cout << "committed" << std::endl;
    return 0;
}
