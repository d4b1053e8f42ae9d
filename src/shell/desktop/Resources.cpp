#include "shell/desktop/Resources.h"

#include <QtGlobal>

static void InitVelutrixResources() {
  Q_INIT_RESOURCE(velutrix);
}

namespace vx {

void InitResources() {
  InitVelutrixResources();
}

}  // namespace vx
