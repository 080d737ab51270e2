#include "engine/platform/DisplayLifeline.h"

#include <cstdio>
#include <dlfcn.h>
#include <unistd.h>

namespace {
// The X library's own types, so that it need not be linked: SDL loads it at run time too.
struct TXDisplay;
using TIoErrorHandler = int (*)(TXDisplay*);
using TSetIoErrorHandler = TIoErrorHandler (*)(TIoErrorHandler);

// One display connection per process; the handler cannot carry state of its own.
std::function<void()>* g_lastWords = nullptr;
std::string* g_displayName = nullptr;

int OnDisplayLost(TXDisplay*) {
    std::fprintf(stderr, "Spraydash: the connection to the display \"%s\" was lost; the game ends.\n",
                 g_displayName ? g_displayName->c_str() : "");
    if (g_lastWords && *g_lastWords) {
        (*g_lastWords)();
    }
    std::fflush(stderr);
    // Returning would let the X library call exit(), running destructors of objects that are in
    // the middle of the call that found the connection gone.
    _exit(1);
}
} // namespace

void HoldDisplayLifeline(const std::string& displayName, std::function<void()> lastWords) {
    // Only a library already loaded (by SDL's X11 driver) is used: none means no X11 display.
    void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (!x11) {
        return;
    }
    auto setHandler = reinterpret_cast<TSetIoErrorHandler>(dlsym(x11, "XSetIOErrorHandler"));
    if (!setHandler) {
        dlclose(x11);
        return;
    }
    static std::function<void()> words;
    static std::string name;
    words = std::move(lastWords);
    name = displayName;
    g_lastWords = &words;
    g_displayName = &name;
    setHandler(OnDisplayLost);
    // The handle stays open for the life of the process, as SDL's own does.
}
