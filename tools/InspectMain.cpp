// norva-inspect: checks logs without a window. Linked without Qt's GUI libraries, so that a
// check starts as fast as its signature allows; pictures go on in norva-inspect-images.
#include <QCoreApplication>

#include "tools/InspectImages.h"

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    return RunInspect(argc, argv, nullptr);
}
