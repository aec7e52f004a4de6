#include "driver/run_driver.h"
#include "host.h"

int main(int argc, char** argv) {
  vn::Host host = vn::MakeSystemHost();
  return vn::RunDriver(host, argc, argv);
}
