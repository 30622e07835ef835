#include <QCoreApplication>

#include "app/ui/desk_app.h"

int main(int argc, char** argv) {
#ifdef VELKOR_HAVE_WEB_ENGINE
  // The embedded browser shares its GL contexts; this must be set before the
  // application object exists.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
  CDeskApp app(argc, argv);
  return app.Run();
}
