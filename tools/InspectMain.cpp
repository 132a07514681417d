// norva-inspect: checks logs without a window. Linked without Qt's GUI libraries, so that a
// check starts as fast as its signature allows; pictures go on in norva-inspect-images.
// It runs no event loop and so makes no application object, whose start alone costs more
// than checking a small log.
#include <clocale>

#include "tools/InspectImages.h"

int main(int argc, char** argv) {
    // The system's messages (why a file cannot be read) in the user's language. Only these:
    // every other output is the same in every locale.
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_MESSAGES, "");
    return RunInspect(argc, argv, nullptr);
}
