// Runs the pelexcrypt binary as an operator would.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "crypto/credential_text.h"

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return text;
}

// Stdout through a pipe, stderr through a temporary file, so neither can
// fill up and block the child while we read the other.
Result pelexcrypt(std::vector<std::string> args) {
    args.insert(args.begin(), PELEXCRYPT_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    EXPECT_EQ(pipe(out), 0);
    char errPath[] = "/tmp/pelexcrypt_test_XXXXXX";
    const int errFd = mkstemp(errPath);
    EXPECT_GE(errFd, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = -1;
    Result r;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    EXPECT_EQ(rc, 0) << "cannot start " << argv[0];
    r.out = readAll(out[0]);
    int wstatus = 0;
    if (rc == 0 && waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
    lseek(errFd, 0, SEEK_SET);
    r.err = readAll(errFd);
    unlink(errPath);
    return r;
}

}  // namespace

TEST(Pelexcrypt, KeyPrintsTenBytes) {
    const Result r = pelexcrypt({"key", "12/8/2026 4:35:49 AM"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "120802026040350490A0\n");
}

TEST(Pelexcrypt, EncAndDecWorkOnWindows1252Bytes) {
    // "€" is one byte (80) in Windows-1252, three in UTF-8: a five-character
    // text fills one block, not two.
    const Result enc = pelexcrypt({"enc", "12/8/2026 4:35:49 PM", "\u20ac 1,5"});
    ASSERT_EQ(enc.status, 0) << enc.err;
    ASSERT_EQ(enc.out.size(), 17u) << enc.out;
    const Result dec = pelexcrypt({"dec", "12/8/2026 4:35:49 PM", enc.out.substr(0, 16)});
    EXPECT_EQ(dec.status, 0) << dec.err;
    EXPECT_EQ(dec.out, "\u20ac 1,5 \n");
    EXPECT_EQ(dec.err, "");
}

TEST(Pelexcrypt, DecWarnsAboutWhatItIgnores) {
    const Result r = pelexcrypt({"dec", "k", "0123456789abcdefXY"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("not hex digits"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("last 2 characters"), std::string::npos) << r.err;
}

TEST(Pelexcrypt, ScrambleAndUnscrambleRoundTrip) {
    const Result s = pelexcrypt({"scramble", "Zo\u00eb"});
    ASSERT_EQ(s.status, 0) << s.err;
    ASSERT_EQ(s.out.size(), 2u * 3 + 10 + 1) << s.out;
    const Result u = pelexcrypt({"unscramble", s.out.substr(0, s.out.size() - 1)});
    EXPECT_EQ(u.status, 0) << u.err;
    EXPECT_EQ(u.out, "Zo\u00eb\n");
}

TEST(Pelexcrypt, RefusesWhatItCannotDo) {
    const Result han = pelexcrypt({"enc", "key", "\u4e2d"});
    EXPECT_EQ(han.status, 1);
    EXPECT_NE(han.err.find("U+4E2D"), std::string::npos) << han.err;
    EXPECT_NE(han.err.find("Windows-1252"), std::string::npos) << han.err;
    EXPECT_EQ(han.out, "");

    const Result emoji = pelexcrypt({"scramble", "ok\U0001F600"});
    EXPECT_EQ(emoji.status, 1);
    EXPECT_NE(emoji.err.find("U+1F600 at position 3"), std::string::npos) << emoji.err;

    const Result badUtf8 = pelexcrypt({"scramble", "\xff\xfe"});
    EXPECT_EQ(badUtf8.status, 1);
    EXPECT_NE(badUtf8.err.find("UTF-8"), std::string::npos) << badUtf8.err;

    const Result notScrambled = pelexcrypt({"unscramble", "001A2B3C4"});
    EXPECT_EQ(notScrambled.status, 1);
    EXPECT_NE(notScrambled.err.find("not a scrambled text"), std::string::npos) << notScrambled.err;
}

// A captured line can carry anything its sender chose, terminal escape
// sequences included: the decoded text is shown with its control characters
// escaped, unless the operator asks for the bytes as they are.
TEST(Pelexcrypt, DecAndUnscrambleShowWhatAnAttackerWroteEscapedUnlessRaw) {
    // Windows-1252 bytes: a title change (OSC ... BEL), a screen clear, a
    // line break, a backslash that looks like an escape, and the undefined
    // byte 9D, which comes back as the C1 control OSC.
    const std::string hostile = "\x1b]0;owned\x07\x1b[2J\r\nok\\x41\x9d";
    const std::string escaped = "\\x1b]0;owned\\x07\\x1b[2J\\x0d\\x0aok\\\\x41\\x9d";
    const std::string rawUtf8 = "\x1b]0;owned\x07\x1b[2J\r\nok\\x41\xc2\x9d";
    const std::string key = "12/8/2026 4:35:49 PM";
    const std::string hex = pelex::crypto::EncryptText(hostile, key);
    const std::string filler(hex.size() / 16 * 6 - hostile.size(), ' ');

    const Result dec = pelexcrypt({"dec", key, hex});
    EXPECT_EQ(dec.status, 0) << dec.err;
    EXPECT_EQ(dec.out, escaped + filler + "\n");
    const Result rawDec = pelexcrypt({"dec", "--raw", key, hex});
    EXPECT_EQ(rawDec.status, 0) << rawDec.err;
    EXPECT_EQ(rawDec.out, rawUtf8 + filler + "\n");

    ASSERT_TRUE(pelex::crypto::SurvivesScramble(hostile));
    const std::string scrambled = pelex::crypto::ScrambleText(hostile);
    const Result un = pelexcrypt({"unscramble", scrambled});
    EXPECT_EQ(un.status, 0) << un.err;
    EXPECT_EQ(un.out, escaped + "\n");
    const Result rawUn = pelexcrypt({"unscramble", scrambled, "--raw"});
    EXPECT_EQ(rawUn.status, 0) << rawUn.err;
    EXPECT_EQ(rawUn.out, rawUtf8 + "\n");

    // --raw belongs to the two commands that show decoded text.
    const Result rawEnc = pelexcrypt({"enc", "--raw", key, "x"});
    EXPECT_EQ(rawEnc.status, 2);
    const Result help = pelexcrypt({"--help"});
    EXPECT_NE(help.out.find("--raw"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("\\x1b"), std::string::npos) << help.out;
}

TEST(Pelexcrypt, BadUseExitsWithTwoAndHelpWithZero) {
    EXPECT_EQ(pelexcrypt({}).status, 2);
    const Result unknown = pelexcrypt({"encrypt", "a", "b"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown command 'encrypt'"), std::string::npos) << unknown.err;
    const Result missing = pelexcrypt({"enc", "only-key"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("takes 2 arguments, got 1"), std::string::npos) << missing.err;
    const Result help = pelexcrypt({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: pelexcrypt"), std::string::npos);
}
