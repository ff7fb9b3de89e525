#include "qt/font_warmup.hpp"

#include <dlfcn.h>

#include <system_error>

namespace quill::qt {

FontConfigWarmUp::FontConfigWarmUp() {
    // The fontconfig Qt itself was loaded with, if any: nothing is linked
    // or loaded for this.
    using Init = int (*)();
    auto* init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "FcInit"));
    if (!init) return;
    try {
        thread_ = std::thread(init);
    } catch (const std::system_error&) {  // NOLINT(bugprone-empty-catch): no thread, Qt reads it itself
    }
}

void FontConfigWarmUp::Join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace quill::qt
