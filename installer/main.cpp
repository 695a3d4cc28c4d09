// installer: copies the control, its setup description and the activity
// description from the current folder to where the host finds them;
// "installer remove" deletes those copies. Progress goes to standard output.
// The exit code is always 0.

#include <iostream>
#include <string>

#include "installer/installer.h"
#include "settings/store_location.h"

int main(int argc, char** argv) {
    // The whole argument text, as one line.
    std::string arguments;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) arguments += ' ';
        arguments += argv[i];
    }
    try {
        pelex::settings::Store store = pelex::settings::openUserStore();
        pelex::installer::run(store, pelex::installer::isRemoveMode(arguments), std::cout);
    } catch (const std::exception& e) {
        // Without a store there is nothing to find: both steps are skipped.
        std::cerr << "installer: " << e.what() << '\n';
    }
    return 0;
}
