#pragma once
// The settings store: a hierarchical key/value store in one SQLite file.
//
// Keys are addressed by a root (root_keys.h) and a sub-key path whose
// components are separated by "\" ("SOFTWARE\Microsoft\Windows"); the empty
// path is the root itself. Keys exist on their own: a value can be written
// only into a key that exists. Each value has a name, a type code and raw
// bytes (value_types.h); a key's values are listed in the order they were
// first written, and overwriting a value keeps its place.
//
// Names are Windows-1252 byte strings and are matched exactly, so key and
// value names are case-sensitive. Every program of the phone spells its paths
// one way, and exact matching keeps one name for one key without a
// case-folding table for the code page's accented letters (which the
// platform's own registry folds by rules of its own).
//
// Durability: every write is one transaction in a write-ahead log with
// synchronous=FULL, so a process killed (or a machine losing power) in the
// middle of a write loses at most that write. Several processes may use one
// file at once: writers wait for each other (busy timeout) instead of failing,
// and opening a store and reading from it never wait for a writer (they see
// the last committed state).
//
// No Qt here: callers convert their text to Windows-1252 bytes first.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "settings/root_keys.h"
#include "settings/status.h"
#include "settings/value_types.h"

struct sqlite3;

namespace pelex::settings {

/// Thrown when the store file cannot be opened or is not a store.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// One stored value.
struct Value {
    std::string name;  // Windows-1252 bytes; empty for the key's default value
    ValueType type = 0;
    std::string data;  // raw bytes, exactly as written
    friend bool operator==(const Value&, const Value&) = default;
};

/// A value to write into a freshly created store file.
struct SeedValue {
    RootKey root;
    std::string subKey;
    Value value;
};

class Store {
public:
    /// Opens the store at `file`, creating the file (mode 0600) and its folder
    /// (mode 0700, with missing parents) when absent. When this call creates
    /// the store's tables, `seed` is written in the same transaction.
    /// Throws StoreError when the file cannot be opened or is not a store.
    static Store open(const std::filesystem::path& file, const std::vector<SeedValue>& seed = {});

    /// A store that lives in memory only (for tests and fuzzing).
    static Store openInMemory();

    Store(Store&&) noexcept;
    Store& operator=(Store&&) noexcept;
    ~Store();

    /// Creates the key and any missing parents; Ok also when it existed.
    /// BadPathname for an empty component, InvalidParameter for an unknown root.
    Status createKey(RootKey root, std::string_view subKey);

    /// Ok when the key exists (roots always do), NotFound when it does not.
    Status findKey(RootKey root, std::string_view subKey);

    /// Writes a value into an existing key (NotFound when the key is absent).
    /// A new name is appended to the key's order; an existing one is replaced
    /// in place.
    Status setValue(RootKey root, std::string_view subKey, const Value& value);

    /// Reads one value: Ok and the value, or NotFound (key or value absent).
    Status getValue(RootKey root, std::string_view subKey, std::string_view name, Value& out);

    /// The key's values in enumeration order; NotFound when the key is absent.
    Status listValues(RootKey root, std::string_view subKey, std::vector<Value>& out);

    /// The names of the key's direct sub-keys, sorted by byte value.
    Status listSubKeys(RootKey root, std::string_view subKey, std::vector<std::string>& out);

    /// Deletes one value (NotFound when it is absent).
    Status deleteValue(RootKey root, std::string_view subKey, std::string_view name);

    /// Deletes the key with all its sub-keys and values. Roots cannot be
    /// deleted (AccessDenied).
    Status deleteKey(RootKey root, std::string_view subKey);

    /// The result of SQLite's integrity check: "ok" when the file is sound.
    std::string integrityCheck();

private:
    struct Db;
    static std::unique_ptr<Db> openDb(const std::string& name, const std::vector<SeedValue>& seed, bool wal);
    explicit Store(std::unique_ptr<Db> db);
    std::unique_ptr<Db> db_;
};

}  // namespace pelex::settings
