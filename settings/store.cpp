#include "settings/store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <cstring>
#include <system_error>
#include <utility>

namespace pelex::settings {
namespace {

constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 10000;
constexpr char kSeparator = '\\';

// A failed SQLite call inside an operation; turned into StoreFailed at the
// public boundary.
struct SqlFailure {
    int code;
};

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) throw SqlFailure{sqlite3_errcode(db)};
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(stmt_); }

    Statement& bind(int index, std::int64_t v) {
        check(sqlite3_bind_int64(stmt_, index, v));
        return *this;
    }
    Statement& bindBytes(int index, std::string_view bytes) {
        // A zero-length blob, never NULL, for the empty name or path.
        check(bytes.empty() ? sqlite3_bind_zeroblob(stmt_, index, 0)
                            : sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()),
                                                SQLITE_TRANSIENT));
        return *this;
    }
    /// True while there is a row.
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw SqlFailure{rc};
    }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::int64_t integer(int col) { return sqlite3_column_int64(stmt_, col); }
    std::string bytes(int col) {
        const void* p = sqlite3_column_blob(stmt_, col);
        const int n = sqlite3_column_bytes(stmt_, col);
        return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
    }

private:
    void check(int rc) {
        if (rc != SQLITE_OK) throw SqlFailure{rc};
    }
    sqlite3_stmt* stmt_ = nullptr;
};

void exec(sqlite3* db, const char* sql) {
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw SqlFailure{rc};
}

// One transaction; rolled back unless committed.
class Transaction {
public:
    Transaction(sqlite3* db, bool write) : db_(db) { exec(db, write ? "BEGIN IMMEDIATE" : "BEGIN"); }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction() {
        if (open_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit() {
        exec(db_, "COMMIT");
        open_ = false;
    }

private:
    sqlite3* db_;
    bool open_ = true;
};

bool validSubKey(std::string_view path) {
    if (path.empty()) return true;
    if (path.front() == kSeparator || path.back() == kSeparator) return false;
    return path.find("\\\\") == std::string_view::npos;
}

// Creates `dir` and its missing parents with mode 0700.
void makeFolders(const std::filesystem::path& dir) {
    if (dir.empty() || std::filesystem::exists(dir)) return;
    makeFolders(dir.parent_path());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        throw StoreError("cannot create folder " + dir.string() + ": " + std::strerror(errno));
    }
}

// Creates the file with mode 0600 when it is absent; SQLite gives its
// journal files the same mode.
void createPrivateFile(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600);
        ::close(fd);
        return;
    }
    if (errno != EEXIST) throw StoreError("cannot create " + file.string() + ": " + std::strerror(errno));
}

}  // namespace

struct Store::Db {
    sqlite3* handle = nullptr;
    ~Db() { sqlite3_close_v2(handle); }

    // The id of a key, or nullopt when it does not exist.
    std::optional<std::int64_t> keyId(RootKey root, std::string_view subKey) {
        Statement s(handle, "SELECT id FROM keys WHERE root = ?1 AND path = ?2");
        s.bind(1, root).bindBytes(2, subKey);
        if (!s.step()) return std::nullopt;
        return s.integer(0);
    }

    int schemaVersion() {
        Statement s(handle, "PRAGMA user_version");
        return s.step() ? static_cast<int>(s.integer(0)) : 0;
    }

    // Sets the journal and checks (or creates) the tables.
    void prepare(const std::string& name, const std::vector<SeedValue>& seed, bool wal) {
        if (wal) exec(handle, "PRAGMA journal_mode = WAL");
        exec(handle, "PRAGMA synchronous = FULL");
        // A store that is ready is only read here; in the write-ahead log a
        // reader never waits for a writer, so opening the store does not
        // block while another process writes.
        if (schemaVersion() == kSchemaVersion) return;
        Transaction t(handle, true);
        const int version = schemaVersion();
        if (version == 0) {
            Statement s(handle, "SELECT count(*) FROM sqlite_schema");
            s.step();
            if (s.integer(0) != 0) throw StoreError("not a settings store: " + name);
            createSchema(seed);
        } else if (version != kSchemaVersion) {
            throw StoreError("settings store " + name + " has unknown format version " + std::to_string(version));
        }
        t.commit();
    }

    void createSchema(const std::vector<SeedValue>& seed) {
        exec(handle,
             "CREATE TABLE keys(id INTEGER PRIMARY KEY, root INTEGER NOT NULL, path BLOB NOT NULL,"
             " UNIQUE(root, path));"
             "CREATE TABLE key_values(id INTEGER PRIMARY KEY, key_id INTEGER NOT NULL REFERENCES keys(id),"
             " name BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key_id, name));");
        for (RootKey r = kClassesRoot; r <= kDynData; ++r) insertKeyChain(r, "");
        for (const SeedValue& v : seed) {
            insertKeyChain(v.root, v.subKey);
            upsertValue(*keyId(v.root, v.subKey), v.value);
        }
        exec(handle, ("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    }

    // Inserts the key and every missing parent (the root row included).
    void insertKeyChain(RootKey root, std::string_view subKey) {
        Statement s(handle, "INSERT OR IGNORE INTO keys(root, path) VALUES(?1, ?2)");
        auto insert = [&](std::string_view path) {
            s.bind(1, root).bindBytes(2, path);
            s.step();
            s.reset();
        };
        insert({});
        if (subKey.empty()) return;
        for (auto pos = subKey.find(kSeparator); pos != std::string_view::npos; pos = subKey.find(kSeparator, pos + 1)) {
            insert(subKey.substr(0, pos));
        }
        insert(subKey);
    }

    void upsertValue(std::int64_t key, const Value& v) {
        Statement s(handle,
                    "INSERT INTO key_values(key_id, name, type, data) VALUES(?1, ?2, ?3, ?4)"
                    " ON CONFLICT(key_id, name) DO UPDATE SET type = excluded.type, data = excluded.data");
        s.bind(1, key).bindBytes(2, v.name).bind(3, v.type).bindBytes(4, v.data);
        s.step();
    }
};

Store::Store(std::unique_ptr<Db> db) : db_(std::move(db)) {}
Store::Store(Store&&) noexcept = default;
Store& Store::operator=(Store&&) noexcept = default;
Store::~Store() = default;

Store Store::open(const std::filesystem::path& file, const std::vector<SeedValue>& seed) {
    makeFolders(file.parent_path());
    createPrivateFile(file);
    return Store(openDb(file.string(), seed, true));
}

Store Store::openInMemory() { return Store(openDb(":memory:", {}, false)); }

// Opens `name` with SQLite and prepares the schema; `seed` goes into a store
// created by this call.
std::unique_ptr<Store::Db> Store::openDb(const std::string& name, const std::vector<SeedValue>& seed, bool wal) {
    auto db = std::make_unique<Store::Db>();
    const int rc = sqlite3_open_v2(name.c_str(), &db->handle,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        throw StoreError("cannot open settings store " + name + ": " +
                         (db->handle ? sqlite3_errmsg(db->handle) : sqlite3_errstr(rc)));
    }
    sqlite3_busy_timeout(db->handle, kBusyTimeoutMs);
    // Switching to the write-ahead log and creating the tables can meet
    // another process doing the same on a new file; SQLite then reports
    // "busy" without waiting, so the set-up is retried for a while.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    while (true) {
        try {
            db->prepare(name, seed, wal);
            break;
        } catch (const SqlFailure& f) {
            const int primary = f.code & 0xff;
            if ((primary == SQLITE_BUSY || primary == SQLITE_LOCKED) && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            throw StoreError("cannot open settings store " + name + ": " + sqlite3_errstr(f.code));
        }
    }
    return db;
}

namespace {

// Runs `op`; a SQLite failure becomes StoreFailed.
template <typename Op>
Status guarded(Op&& op) {
    try {
        return op();
    } catch (const SqlFailure&) {
        return Status::StoreFailed;
    }
}

bool validRoot(RootKey root) { return rootNameOf(root).has_value(); }

}  // namespace

Status Store::createKey(RootKey root, std::string_view subKey) {
    if (!validRoot(root)) return Status::InvalidParameter;
    if (!validSubKey(subKey)) return Status::BadPathname;
    return guarded([&] {
        Transaction t(db_->handle, true);
        db_->insertKeyChain(root, subKey);
        t.commit();
        return Status::Ok;
    });
}

Status Store::findKey(RootKey root, std::string_view subKey) {
    if (!validRoot(root)) return Status::InvalidParameter;
    if (!validSubKey(subKey)) return Status::BadPathname;
    return guarded([&] { return db_->keyId(root, subKey) ? Status::Ok : Status::NotFound; });
}

Status Store::setValue(RootKey root, std::string_view subKey, const Value& value) {
    if (!validRoot(root)) return Status::InvalidParameter;
    if (!validSubKey(subKey)) return Status::BadPathname;
    return guarded([&] {
        Transaction t(db_->handle, true);
        const auto key = db_->keyId(root, subKey);
        if (!key) return Status::NotFound;
        db_->upsertValue(*key, value);
        t.commit();
        return Status::Ok;
    });
}

Status Store::getValue(RootKey root, std::string_view subKey, std::string_view name, Value& out) {
    if (!validRoot(root)) return Status::InvalidParameter;
    if (!validSubKey(subKey)) return Status::BadPathname;
    return guarded([&] {
        Statement s(db_->handle,
                    "SELECT v.type, v.data FROM key_values v JOIN keys k ON v.key_id = k.id"
                    " WHERE k.root = ?1 AND k.path = ?2 AND v.name = ?3");
        s.bind(1, root).bindBytes(2, subKey).bindBytes(3, name);
        if (!s.step()) return Status::NotFound;
        out = Value{std::string(name), static_cast<ValueType>(s.integer(0)), s.bytes(1)};
        return Status::Ok;
    });
}

Status Store::listValues(RootKey root, std::string_view subKey, std::vector<Value>& out) {
    out.clear();
    if (!validRoot(root)) return Status::InvalidParameter;
    if (!validSubKey(subKey)) return Status::BadPathname;
    return guarded([&] {
        Transaction t(db_->handle, false);
        const auto key = db_->keyId(root, subKey);
        if (!key) return Status::NotFound;
        Statement s(db_->handle, "SELECT name, type, data FROM key_values WHERE key_id = ?1 ORDER BY id");
        s.bind(1, *key);
        while (s.step()) out.push_back(Value{s.bytes(0), static_cast<ValueType>(s.integer(1)), s.bytes(2)});
        t.commit();
        return Status::Ok;
    });
}

Status Store::listSubKeys(RootKey root, std::string_view subKey, std::vector<std::string>& out) {
    out.clear();
    if (!validRoot(root)) return Status::InvalidParameter;
    if (!validSubKey(subKey)) return Status::BadPathname;
    return guarded([&] {
        Transaction t(db_->handle, false);
        if (!db_->keyId(root, subKey)) return Status::NotFound;
        const std::string prefix = subKey.empty() ? std::string() : std::string(subKey) + kSeparator;
        Statement s(db_->handle, "SELECT path FROM keys WHERE root = ?1 AND path > ?2 ORDER BY path");
        s.bind(1, root).bindBytes(2, prefix);
        while (s.step()) {
            const std::string path = s.bytes(0);
            if (path.compare(0, prefix.size(), prefix) != 0) break;
            const std::string rest = path.substr(prefix.size());
            if (!rest.empty() && rest.find(kSeparator) == std::string::npos) out.push_back(rest);
        }
        t.commit();
        return Status::Ok;
    });
}

Status Store::deleteValue(RootKey root, std::string_view subKey, std::string_view name) {
    if (!validRoot(root)) return Status::InvalidParameter;
    if (!validSubKey(subKey)) return Status::BadPathname;
    return guarded([&] {
        Transaction t(db_->handle, true);
        const auto key = db_->keyId(root, subKey);
        if (!key) return Status::NotFound;
        Statement s(db_->handle, "DELETE FROM key_values WHERE key_id = ?1 AND name = ?2");
        s.bind(1, *key).bindBytes(2, name);
        s.step();
        if (sqlite3_changes(db_->handle) == 0) return Status::NotFound;
        t.commit();
        return Status::Ok;
    });
}

Status Store::deleteKey(RootKey root, std::string_view subKey) {
    if (!validRoot(root)) return Status::InvalidParameter;
    if (!validSubKey(subKey)) return Status::BadPathname;
    if (subKey.empty()) return Status::AccessDenied;
    return guarded([&] {
        Transaction t(db_->handle, true);
        if (!db_->keyId(root, subKey)) return Status::NotFound;
        // The key and everything under it: paths between "key\" and "key]"
        // (']' follows '\' in byte order).
        const std::string low = std::string(subKey) + '\\';
        const std::string high = std::string(subKey) + ']';
        const char* where = "root = ?1 AND (path = ?2 OR (path >= ?3 AND path < ?4))";
        Statement values(db_->handle,
                         (std::string("DELETE FROM key_values WHERE key_id IN (SELECT id FROM keys WHERE ") + where + ")")
                             .c_str());
        values.bind(1, root).bindBytes(2, subKey).bindBytes(3, low).bindBytes(4, high);
        values.step();
        Statement keys(db_->handle, (std::string("DELETE FROM keys WHERE ") + where).c_str());
        keys.bind(1, root).bindBytes(2, subKey).bindBytes(3, low).bindBytes(4, high);
        keys.step();
        t.commit();
        return Status::Ok;
    });
}

std::string Store::integrityCheck() {
    try {
        Statement s(db_->handle, "PRAGMA integrity_check");
        std::string result;
        while (s.step()) {
            if (!result.empty()) result += '\n';
            result += s.bytes(0);
        }
        return result;
    } catch (const SqlFailure& f) {
        return sqlite3_errstr(f.code);
    }
}

}  // namespace pelex::settings
