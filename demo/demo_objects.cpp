#include "demo/demo_objects.h"

namespace mirrox::demo {

DemoObjects::DemoObjects(const std::filesystem::path& settingsPath) : registry_(settingsPath, clock_, *this) {
  registry_.LoadObjects();
}

}  // namespace mirrox::demo
