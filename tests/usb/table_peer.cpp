// A second program on the same machine for the shared device table tests.
//   kelvox_table_peer count        joins the table; exit code = entries it sees
//   kelvox_table_peer add SERIAL   attaches a simulated camera of its own, enumerates; exit code = entries
#include <cstring>

#include "kelvox/kelvox_sim.h"
#include "usb/device_table.h"
#include "usb/fx3_controller.h"

int main(int argc, char** argv) {
    if (argc < 2) return 200;
    int id = -1;
    if (std::strcmp(argv[1], "add") == 0 && argc >= 3) {
        KELVOX_SIM_CAMERA c;
        KelvoxSim_DefaultCamera(&c);
        std::strncpy(c.serial, argv[2], sizeof c.serial - 1);
        id = KelvoxSim_Attach(&c);
        if (id < 0) return 201;
    }
    int entries;
    {
        kelvox::usb::Fx3Controller controller;
        entries = id >= 0 ? controller.EnumerateDevices() : kelvox::usb::DeviceTable::Process().entry_count();
    }
    if (id >= 0) KelvoxSim_Detach(id);
    return entries;
}
