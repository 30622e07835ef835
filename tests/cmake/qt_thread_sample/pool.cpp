// A file that starts work on a thread Qt owns: the no_qt_threads check must refuse it.
#include <QThreadPool>

void StartInThePool() { QThreadPool::globalInstance()->start([] {}); }
