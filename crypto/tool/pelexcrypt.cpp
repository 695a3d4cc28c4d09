// pelexcrypt: the phone's credential text forms from the command line, for
// operators who read captured sign-in lines and stored profiles. Arguments
// and output are UTF-8; the operations work on the Windows-1252 bytes the
// phone would use.

#include "codepage/codepage.h"
#include "codepage/escape.h"
#include "crypto/credential_text.h"
#include "crypto/hex.h"
#include "crypto/skipjack.h"
#include "codepage/utf8.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace pelex;

constexpr int kBadUse = 2;
constexpr int kFailed = 1;

constexpr const char* kUsage =
    "Usage: pelexcrypt COMMAND ARGUMENTS...\n"
    "\n"
    "Commands:\n"
    "  key KEYTEXT         the ten key bytes of KEYTEXT as 20 hex digits\n"
    "  enc KEYTEXT TEXT    TEXT enciphered under KEYTEXT, as hex\n"
    "  dec [--raw] KEYTEXT HEX\n"
    "                      HEX deciphered under KEYTEXT (filler spaces kept)\n"
    "  scramble TEXT       TEXT scrambled under a fresh random key\n"
    "  unscramble [--raw] TEXT\n"
    "                      the plain text of a scrambled TEXT\n"
    "  --help              this text\n"
    "\n"
    "Arguments and output are UTF-8; every character must exist in\n"
    "Windows-1252, the code page the phone uses for these texts.\n"
    "\n"
    "dec and unscramble show text that someone else chose. Control characters\n"
    "in it are shown escaped, as \\x and two hex digits (ESC as \\x1b), and a\n"
    "backslash as \\\\, so nothing in it can act on the terminal. --raw (at any\n"
    "place after the command) prints the deciphered characters as they are.\n";

// Thrown for anything the user got wrong; main() prints it and fails.
struct Failure {
    std::string message;
    int status;
};

std::string toAnsiArgument(std::string_view what, std::string_view utf8) {
    const auto decoded = codepage::fromUtf8(utf8);
    if (!decoded) throw Failure{std::string(what) + " is not valid UTF-8", kFailed};
    const std::u16string& wide = *decoded;
    try {
        return codepage::toAnsi(wide);
    } catch (const codepage::UnrepresentableText& e) {
        // Name the whole character, also when it lies beyond 16 bits.
        unsigned codePoint = e.character();
        if (codePoint >= 0xD800 && codePoint < 0xDC00 && e.position() + 1 < wide.size()) {
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (wide[e.position() + 1] - 0xDC00u);
        }
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", codePoint);
        throw Failure{std::string(what) + ": character " + code + " at position " + std::to_string(e.position() + 1) +
                          " has no Windows-1252 byte",
                      kFailed};
    }
}

void printAnsi(std::string_view ansi) { std::cout << codepage::toUtf8(codepage::fromAnsi(ansi)) << '\n'; }

// Decoded text that someone else chose: control characters escaped unless
// the operator asked for the raw characters.
void printDecoded(std::string_view ansi, bool raw) {
    const std::u16string wide = codepage::fromAnsi(ansi);
    std::cout << codepage::toUtf8(raw ? wide : codepage::escapeControls(wide)) << '\n';
}

struct Options {
    bool raw = false;
};

using Command = std::function<void(const std::vector<std::string>&, const Options&)>;

struct CommandInfo {
    std::size_t arguments;
    Command run;
    bool takesRaw = false;  // shows decoded text, so --raw means something
};

const std::map<std::string, CommandInfo, std::less<>>& commands() {
    static const std::map<std::string, CommandInfo, std::less<>> table = {
        {"key",
         {1,
          [](const std::vector<std::string>& a, const Options&) {
              const auto key = crypto::CipherKey::FromText(toAnsiArgument("KEYTEXT", a[0]));
              std::string hex;
              for (std::uint8_t b : key.bytes()) crypto::appendHexByte(hex, b);
              std::cout << hex << '\n';
          }}},
        {"enc",
         {2,
          [](const std::vector<std::string>& a, const Options&) {
              const std::string key = toAnsiArgument("KEYTEXT", a[0]);
              printAnsi(crypto::EncryptText(toAnsiArgument("TEXT", a[1]), key));
          }}},
        {"dec",
         {2,
          [](const std::vector<std::string>& a, const Options& o) {
              const std::string key = toAnsiArgument("KEYTEXT", a[0]);
              const std::string hex = toAnsiArgument("HEX", a[1]);
              for (char c : hex) {
                  if (crypto::hexDigitValue(c) < 0) {
                      std::cerr << "pelexcrypt: warning: HEX holds characters that are not hex digits; "
                                   "they count as 0\n";
                      break;
                  }
              }
              if (hex.size() % 16 != 0) {
                  std::cerr << "pelexcrypt: warning: the last " << hex.size() % 16
                            << " characters of HEX do not make a whole block and are ignored\n";
              }
              printDecoded(crypto::DecryptText(hex, key), o.raw);
          },
          true}},
        {"scramble",
         {1,
          [](const std::vector<std::string>& a, const Options&) {
              const std::string plain = toAnsiArgument("TEXT", a[0]);
              if (!crypto::SurvivesScramble(plain)) {
                  std::cerr << "pelexcrypt: warning: TEXT holds a character that does not come back "
                               "unchanged from unscramble\n";
              }
              printAnsi(crypto::ScrambleText(plain));
          }}},
        {"unscramble",
         {1,
          [](const std::vector<std::string>& a, const Options& o) {
              const std::string scrambled = toAnsiArgument("TEXT", a[0]);
              const std::string plain = crypto::UnscrambleText(scrambled);
              if (plain.empty() && !scrambled.empty()) {
                  throw Failure{"TEXT is not a scrambled text", kFailed};
              }
              printDecoded(plain, o.raw);
          },
          true}},
    };
    return table;
}

int run(int argc, char** argv) {
    if (argc < 2) throw Failure{"missing command (try --help)", kBadUse};
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        std::cout << kUsage;
        return 0;
    }
    const auto found = commands().find(name);
    if (found == commands().end()) throw Failure{"unknown command '" + std::string(name) + "' (try --help)", kBadUse};
    std::vector<std::string> arguments(argv + 2, argv + argc);
    Options options;
    if (found->second.takesRaw) {
        // The first "--raw" is the option; a second one is an argument.
        const auto raw = std::find(arguments.begin(), arguments.end(), "--raw");
        if (raw != arguments.end()) {
            options.raw = true;
            arguments.erase(raw);
        }
    }
    if (arguments.size() != found->second.arguments) {
        throw Failure{std::string(name) + " takes " + std::to_string(found->second.arguments) + " argument" +
                          (found->second.arguments == 1 ? "" : "s") + ", got " + std::to_string(arguments.size()) +
                          " (try --help)",
                      kBadUse};
    }
    found->second.run(arguments, options);
    std::cout.flush();
    return std::cout ? 0 : kFailed;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const Failure& f) {
        std::cerr << "pelexcrypt: " << f.message << '\n';
        return f.status;
    } catch (const std::exception& e) {
        std::cerr << "pelexcrypt: " << e.what() << '\n';
        return kFailed;
    }
}
