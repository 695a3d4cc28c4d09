#pragma once
// Starting another program, as a seam: the phone starts it detached (never
// waits for it, no shell in between); tests record what would have started.

#include <string>

namespace pelex::platform {

/// How the started program's window should appear.
enum class WindowStyle { Normal, MinimizedWithFocus };

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    /// Starts `program` (a full path) without arguments and returns at once.
    /// Returns false when it could not be started (for example, the file is
    /// missing or not executable); shows nothing to the user either way.
    virtual bool startDetached(const std::u16string& program, WindowStyle style) = 0;
};

}  // namespace pelex::platform
