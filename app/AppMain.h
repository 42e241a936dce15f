#pragma once

namespace kestrova {

// The application as the process runs it: the QApplication, then ApplicationStartup until the application
// quits. The process entry is this and nothing more.
class AppMain {
public:
    AppMain() = delete;
    // The event loop's exit status.
    static int main(int argc, char **argv);
};

} // namespace kestrova
