// The Linux port list read from a sysfs and a /dev of our own, laid out as
// the kernel and udev lay them out, symbolic links included; each port then
// tried, on recorded answers and on a real pseudo-terminal.
#include "link/posix/sysfs_ports.h"
#include "link/posix/posix_ports.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <pty.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <map>

namespace qelisp {
namespace {

namespace fs = std::filesystem;

class FakeDeviceTree {
public:
    FakeDeviceTree() { fs::create_directories(sys() / "class" / "tty"); }

    fs::path sys() const { return dir_ / "sys"; }
    DeviceTree tree() const { return {sys(), dir_ / "dev"}; }

    // A tty with its device at devices/`devicePath`, as sys/class/tty links it.
    void tty(const std::string& name, const std::string& devicePath,
             std::map<std::string, std::string> attributes = {}) {
        const fs::path ttyDir = sys() / "devices" / devicePath / "tty" / name;
        fs::create_directories(ttyDir);
        fs::create_directory_symlink("../../../" + devicePath.substr(devicePath.rfind('/') + 1), ttyDir / "device");
        write(ttyDir, attributes);
        fs::create_directory_symlink("../../devices/" + devicePath + "/tty/" + name, sys() / "class" / "tty" / name);
    }
    // A USB device at devices/`path` with idVendor, product and the like.
    void usbDevice(const std::string& path, std::map<std::string, std::string> attributes) {
        fs::create_directories(sys() / "devices" / path);
        write(sys() / "devices" / path, attributes);
    }
    // A usb-serial port (a ttyUSB's own device) as sys/bus/usb-serial lists
    // it; `attributes` holds the driver's, a latency_timer among them.
    void usbSerial(const std::string& name, const std::string& devicePath,
                   std::map<std::string, std::string> attributes = {}) {
        const fs::path bus = sys() / "bus" / "usb-serial" / "devices";
        fs::create_directories(bus);
        fs::create_directory_symlink("../../../devices/" + devicePath, bus / name);
        write(sys() / "devices" / devicePath, attributes);
    }
    void byId(const std::string& link, const std::string& tty) {
        fs::create_directories(dir_ / "dev" / "serial" / "by-id");
        fs::create_symlink("../../" + tty, dir_ / "dev" / "serial" / "by-id" / link);
    }

private:
    static void write(const fs::path& dir, const std::map<std::string, std::string>& attributes) {
        for (const auto& [file, text] : attributes) test::writeFile(dir / file, text + "\n");
    }
    test::TempDir dir_;
};

TEST(SysfsPorts, ListsAdaptersAndRealUartsWithWhatTheirUsbDeviceSays) {
    FakeDeviceTree fake;
    const std::string hub = "pci0000:00/0000:00:14.0/usb1/";
    fake.usbDevice(hub + "1-2", {{"idVendor", "0403"},
                                 {"idProduct", "6001"},
                                 {"manufacturer", "FTDI"},
                                 {"product", "FT232R USB UART"},
                                 {"serial", "A600ABCD"}});
    fake.tty("ttyUSB10", hub + "1-2/1-2:1.0/ttyUSB10");
    fake.usbSerial("ttyUSB10", hub + "1-2/1-2:1.0/ttyUSB10", {{"latency_timer", "16"}});  // ftdi_sio has one
    fake.usbDevice(hub + "1-3", {{"idVendor", "1a86"}, {"idProduct", "7523"}});           // no strings at all
    fake.tty("ttyUSB2", hub + "1-3/1-3:1.0/ttyUSB2");
    fake.usbSerial("ttyUSB2", hub + "1-3/1-3:1.0/ttyUSB2");  // ch341 has none
    fake.usbDevice(hub + "1-4", {{"idVendor", "2341"}, {"idProduct", "0043"}, {"product", "Arduino Uno"}});
    fake.tty("ttyACM0", hub + "1-4/1-4:1.0");  // a ttyACM hangs off the interface itself
    fake.tty("ttyS0", "pnp0/00:00/00:00:0/00:00:0.0", {{"type", "4"}, {"console", "N"}});
    fake.tty("ttyS1", "platform/serial8250/serial8250:0.1", {{"type", "0"}});  // no UART answered
    fake.tty("ttyS2", "platform/serial8250/serial8250:0.2", {{"type", "4"}, {"console", "Y"}});
    fake.tty("ttyUSBx", hub + "1-2/1-2:1.1/ttyUSBx");
    fs::create_directories(fake.sys() / "devices" / "virtual" / "tty" / "ttyUSB7");  // no device behind it
    fs::create_directory_symlink("../../devices/virtual/tty/ttyUSB7", fake.sys() / "class" / "tty" / "ttyUSB7");
    fake.byId("usb-FTDI_FT232R_USB_UART_A600ABCD-if00-port0", "ttyUSB10");
    fake.byId("usb-Arduino_Uno-if00", "ttyACM0");

    const std::string byId = (fake.tree().dev / "serial" / "by-id").string() + "/";
    EXPECT_EQ(readSysfsPorts(fake.tree()),
              (std::vector<PortInfo>{
                  {"ttyUSB2", "USB serial port", 0x1a86, 0x7523, {}, {}, {}},
                  {"ttyUSB10",
                   "FT232R USB UART",
                   0x0403,
                   0x6001,
                   "FTDI",
                   "A600ABCD",
                   byId + "usb-FTDI_FT232R_USB_UART_A600ABCD-if00-port0",
                   OpenError::None,
                   {},
                   (fake.sys() / "bus" / "usb-serial" / "devices" / "ttyUSB10" / "latency_timer").string()},
                  {"ttyACM0", "Arduino Uno", 0x2341, 0x0043, {}, {}, byId + "usb-Arduino_Uno-if00"},
                  {"ttyS0", "Built-in serial port", 0, 0, {}, {}, {}},
              }));
    // What an idle window compares: every such tty with a device, nothing read.
    EXPECT_EQ(sysfsPortNames(fake.tree()),
              (std::vector<std::string>{"ttyUSB2", "ttyUSB10", "ttyACM0", "ttyS0", "ttyS1", "ttyS2"}));
}

TEST(SysfsPorts, EachPortSaysWhetherItOpensAndWhyNotInTheOpenErrorsWords) {
    struct Case {
        std::string name;
        int answer;  // the errno of trying it; 0: it opens
        OpenError error;
        std::string reason;
    };
    const Case cases[] = {
        {"ttyUSB0", 0, OpenError::None, ""},
        {"ttyUSB1", EACCES, OpenError::PermissionDenied,
         "permission denied (the user may need to be in the 'dialout' group: sudo usermod -aG dialout $USER, then "
         "log in again)"},
        {"ttyUSB2", EBUSY, OpenError::Busy, "port is in use by another program"},
        {"ttyUSB3", EIO, OpenError::Other, "cannot be set up (Input/output error)"},
        {"ttyUSB4", ENOENT, OpenError::NotFound, "no such port"},  // unplugged since sysfs was read
    };
    FakeDeviceTree fake;
    std::map<std::string, int> answers;
    for (const Case& c : cases) {
        fake.tty(c.name, "pci0000:00/usb1/1-1/1-1:1.0/" + c.name);
        answers[(fake.tree().dev / c.name).string()] = c.answer;
    }
    std::vector<std::string> tried;
    const std::vector<PortInfo> ports =
        probePorts(readSysfsPorts(fake.tree()), fake.tree(), [&](const std::string& path) {
            tried.push_back(path);
            return answers.count(path) ? answers.at(path) : ENOENT;
        });
    ASSERT_EQ(ports.size(), std::size(cases));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(tried[i], (fake.tree().dev / c.name).string());
        EXPECT_EQ(ports[i].name, c.name);
        EXPECT_EQ(ports[i].openError, c.error) << c.name;
        EXPECT_EQ(ports[i].opens(), c.answer == 0) << c.name;
        EXPECT_EQ(ports[i].reason, c.reason) << c.name;
    }
}

// A real tty, tried as the list tries it: its settings stay as they were.
TEST(SysfsPorts, TryingAPortLeavesItsSettingsAndFindsAHeldOneBusy) {
    int master = -1, slave = -1;
    std::array<char, 128> name{};
    ASSERT_EQ(openpty(&master, &slave, name.data(), nullptr, nullptr), 0);
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    cfsetspeed(&before, B9600);
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &before), 0);
    test::TempDir dir;
    test::writeFile(dir / "file", "not a tty");

    EXPECT_EQ(attemptOpen(name.data()), 0);
    termios after{};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B9600)) << "listing changed the port's speed";
    ASSERT_EQ(flock(slave, LOCK_EX | LOCK_NB), 0);  // another program's lock
    EXPECT_EQ(attemptOpen(name.data()), EBUSY);
    EXPECT_EQ(attemptOpen((dir / "file").string()), ENOTTY);
    EXPECT_EQ(attemptOpen((dir / "none").string()), ENOENT);
    ::close(slave);
    ::close(master);
}

TEST(SysfsPorts, NoSysfsNoPorts) {
    test::TempDir empty;
    EXPECT_TRUE(readSysfsPorts({empty.path() / "sys", empty.path() / "dev"}).empty());
    EXPECT_TRUE(sysfsPortNames({empty.path() / "sys", empty.path() / "dev"}).empty());
}

}  // namespace
}  // namespace qelisp
