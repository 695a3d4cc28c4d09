// The store used by real processes: one killed with SIGKILL in the middle of
// a burst of writes, and two writing at the same time.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/store.h"
#include "settings/testing/run_program.h"

using namespace pelex::settings;

namespace {

std::string burstData(const std::string& prefix, int i) {  // as the helper writes it
    std::string data = prefix + std::to_string(i) + ':';
    data.append(static_cast<std::size_t>((i * 37) % 3000), static_cast<char>('a' + i % 26));
    data.push_back('\0');
    return data;
}

// Starts the helper and returns its pid and the read end of its output.
pid_t startBurst(const std::string& store, const std::string& prefix, int count, FILE** out) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        const std::string n = std::to_string(count);
        ::execl(WRITE_BURST, WRITE_BURST, store.c_str(), prefix.c_str(), n.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    *out = ::fdopen(fds[0], "r");
    return pid;
}

// Checks that value `prefix`0..`committed`-1 are all there with their data.
void expectCommitted(Store& store, const std::string& prefix, int committed) {
    for (int i = 0; i < committed; ++i) {
        Value v;
        ASSERT_EQ(store.getValue(kCurrentUser, "Burst", prefix + std::to_string(i), v), Status::Ok) << prefix << i;
        ASSERT_EQ(v.data, burstData(prefix, i)) << prefix << i;
    }
}

// The hold-write helper, started with pipes to its standard input and
// output; killed if the test ends before it does.
class HeldWrite {
public:
    HeldWrite(const std::string& store, const std::string& name, const std::string& data) {
        int in[2];
        int out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            for (int fd : {in[0], in[1], out[0], out[1]}) ::close(fd);
            ::execl(HOLD_WRITE, HOLD_WRITE, store.c_str(), name.c_str(), data.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        toChild_ = ::fdopen(in[1], "w");
        fromChild_ = ::fdopen(out[0], "r");
    }
    HeldWrite(const HeldWrite&) = delete;
    HeldWrite& operator=(const HeldWrite&) = delete;
    ~HeldWrite() {
        if (toChild_) std::fclose(toChild_);
        if (fromChild_) std::fclose(fromChild_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    /// The helper's next line of output, without its line break.
    std::string nextLine() {
        char line[128];
        if (!fromChild_ || !std::fgets(line, sizeof line, fromChild_)) return "(no output)";
        std::string text = line;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }
    /// Lets the helper commit and waits for it to end; its exit code.
    int commit() {
        std::fputs("commit\n", toChild_);
        std::fflush(toChild_);
        const std::string said = nextLine();
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return said == "committed" && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    FILE* toChild_ = nullptr;
    FILE* fromChild_ = nullptr;
};

}  // namespace

TEST(StoreProcesses, ReadersDoNotWaitForAnotherProcessInTheMiddleOfAWrite) {
    pelex::testing::TempFolder tmp;
    const std::string file = (tmp.path() / "registry.sqlite").string();
    {
        Store store = Store::open(file);
        ASSERT_EQ(store.createKey(kCurrentUser, "Held"), Status::Ok);
        ASSERT_EQ(store.setValue(kCurrentUser, "Held", {"n", kString, "old"}), Status::Ok);
    }
    HeldWrite writer(file, "n", "new");
    ASSERT_EQ(writer.nextLine(), "holding");

    // Opening and reading while the other process holds its write: at once,
    // with the last committed value (the writer's own is not visible yet).
    const auto started = std::chrono::steady_clock::now();
    std::optional<Store> reader;
    ASSERT_NO_THROW(reader.emplace(Store::open(file)));
    Value v;
    ASSERT_EQ(reader->getValue(kCurrentUser, "Held", "n", v), Status::Ok);
    EXPECT_EQ(v.data, "old");
    std::vector<Value> values;
    ASSERT_EQ(reader->listValues(kCurrentUser, "Held", values), Status::Ok);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].data, "old");
    const auto waited = std::chrono::steady_clock::now() - started;
    // The store's busy timeout is ten seconds: a read that waited for the
    // writer would take that long and then fail.
    EXPECT_LT(waited, std::chrono::seconds(5));

    ASSERT_EQ(writer.commit(), 0);
    ASSERT_EQ(reader->getValue(kCurrentUser, "Held", "n", v), Status::Ok);
    EXPECT_EQ(v.data, "new");
}

TEST(StoreProcesses, ValuesSurviveAWriterKilledInTheMiddleOfABurst) {
    pelex::testing::TempFolder tmp;
    const std::string file = (tmp.path() / "registry.sqlite").string();
    // Kill at a different point in each round; every round reopens the file
    // the killed writer left behind (with its write-ahead log).
    const int killAfter[] = {1, 37, 150, 5, 90};
    std::vector<int> committed;
    for (int round = 0; round < 5; ++round) {
        const std::string prefix = "r" + std::to_string(round) + "_";
        FILE* out = nullptr;
        const pid_t pid = startBurst(file, prefix, 100000, &out);
        ASSERT_GT(pid, 0);
        ASSERT_NE(out, nullptr);
        int last = -1;
        char line[128];
        while (last + 1 < killAfter[round] && std::fgets(line, sizeof line, out)) {
            std::sscanf(line, "committed %d", &last);
        }
        ::kill(pid, SIGKILL);
        // Whatever it committed between our last read and the kill counts too.
        while (std::fgets(line, sizeof line, out)) std::sscanf(line, "committed %d", &last);
        std::fclose(out);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended before it was killed";
        committed.push_back(last + 1);
        ASSERT_GE(last + 1, killAfter[round]);

        Store store = Store::open(file);
        ASSERT_EQ(store.integrityCheck(), "ok");
        for (int r = 0; r <= round; ++r) expectCommitted(store, "r" + std::to_string(r) + "_", committed[r]);
        // The value overwritten in place after each write holds the last
        // reported number or the one after it (written but not yet reported).
        Value lastValue;
        ASSERT_EQ(store.getValue(kCurrentUser, "Burst", prefix + "last", lastValue), Status::Ok);
        EXPECT_TRUE(lastValue.data == std::to_string(last) || lastValue.data == std::to_string(last + 1))
            << lastValue.data << " after " << last;
    }
}

TEST(StoreProcesses, TwoWritersAtOnceBothCompleteAndNothingIsLost) {
    pelex::testing::TempFolder tmp;
    const std::string file = (tmp.path() / "registry.sqlite").string();
    // Both create the store at the same moment, then write into one key.
    constexpr int kCount = 300;
    FILE* outA = nullptr;
    FILE* outB = nullptr;
    const pid_t a = startBurst(file, "a", kCount, &outA);
    const pid_t b = startBurst(file, "b", kCount, &outB);
    char line[128];
    while (std::fgets(line, sizeof line, outA)) {
    }
    while (std::fgets(line, sizeof line, outB)) {
    }
    std::fclose(outA);
    std::fclose(outB);
    int statusA = 0;
    int statusB = 0;
    ::waitpid(a, &statusA, 0);
    ::waitpid(b, &statusB, 0);
    ASSERT_TRUE(WIFEXITED(statusA) && WEXITSTATUS(statusA) == 0);
    ASSERT_TRUE(WIFEXITED(statusB) && WEXITSTATUS(statusB) == 0);

    Store store = Store::open(file);
    EXPECT_EQ(store.integrityCheck(), "ok");
    expectCommitted(store, "a", kCount);
    expectCommitted(store, "b", kCount);
    // Each writer's values are listed in the order that writer wrote them.
    std::vector<Value> values;
    ASSERT_EQ(store.listValues(kCurrentUser, "Burst", values), Status::Ok);
    EXPECT_EQ(values.size(), 2u * kCount + 2);
    int nextA = 0;
    int nextB = 0;
    for (const Value& v : values) {
        if (v.name == "alast" || v.name == "blast") continue;
        const int n = std::stoi(v.name.substr(1));
        EXPECT_EQ(n, v.name[0] == 'a' ? nextA++ : nextB++) << v.name;
    }
}
