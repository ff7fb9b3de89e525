// Fontconfig's start, taken off the window's way. The first text Qt lays
// out makes fontconfig read its configuration and font caches, the largest
// single step of the start-up, and Qt gets there only once it has connected
// to the display. This reads them on a second thread while Qt connects, so
// that Qt finds them read. No Qt here; Qt's connecting touches no font, and
// its first text comes after Join().
#pragma once

#include <thread>

namespace quill::qt {

class FontConfigWarmUp {
public:
    // Starts the reading, where this process has fontconfig (Qt's text
    // does, on Linux) and can start a thread; otherwise Qt reads it itself.
    FontConfigWarmUp();
    ~FontConfigWarmUp() { Join(); }
    FontConfigWarmUp(const FontConfigWarmUp&) = delete;
    FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;

    // Waits until fontconfig has read them.
    void Join();

private:
    std::thread thread_;
};

}  // namespace quill::qt
