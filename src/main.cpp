#include "driver/driver.h"
#include "platform/os.h"

int main(int argc, char** argv) {
  os_init(argc, argv);
  return startup_main(os_ansi_argc(), os_ansi_argv());
}
