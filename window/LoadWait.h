#pragma once

#include <functional>

class QWidget;
class TLoadJob;

enum class TLoadWaitEnd { Ended, Cancelled, WindowClosing };

// Waits for a load job in a local event loop, as a modal dialog would but without one: timers,
// painting and the log list's background results go on while the user's input is dropped.
// Escape gives the wait up; so does a request to close `window`, which is refused for now:
// the caller closes the window once the load has unwound. `showProgress` is given the job's
// share done now and then.
TLoadWaitEnd WaitForLoad(TLoadJob& job, QWidget& window,
                         const std::function<void(double done)>& showProgress);
