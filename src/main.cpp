#include "app/ui/desk_app.h"

int main(int argc, char** argv) {
  CDeskApp app(argc, argv);
  return app.Run();
}
