// The USB identity read from Windows device instance ids, as the port list shows it.
#include <gtest/gtest.h>

#include "link/ports/serial_port_info.h"

using kavrel::link::parseUsbIdentity;

TEST(UsbIdentity, VendorProductAndSerialFromTheIdsWindowsGives) {
    const auto ftdi = parseUsbIdentity("USB\\VID_0403&PID_6001\\A50285BI");
    EXPECT_EQ(ftdi.vendorId, 0x0403);
    EXPECT_EQ(ftdi.productId, 0x6001);
    EXPECT_EQ(ftdi.serialNumber, "A50285BI");

    // Lower-case hex, an interface of a composite device: the made-up id ("7&...") is no serial.
    const auto composite = parseUsbIdentity("usb\\vid_1a86&pid_7523&mi_00\\7&2ab8d2c3&0&0000");
    EXPECT_EQ(composite.vendorId, 0x1a86);
    EXPECT_EQ(composite.productId, 0x7523);
    EXPECT_EQ(composite.serialNumber, "");

    // A vendor's own bus joins the parts with '+'; only a USB id carries the serial number.
    const auto vendorBus = parseUsbIdentity("FTDIBUS\\VID_0403+PID_6015+DK0AB1CDA\\0000");
    EXPECT_EQ(vendorBus.vendorId, 0x0403);
    EXPECT_EQ(vendorBus.productId, 0x6015);
    EXPECT_EQ(vendorBus.serialNumber, "");

    // A built-in port: no USB identity at all; a cut-off id gives no number.
    const auto builtIn = parseUsbIdentity("ACPI\\PNP0501\\1");
    EXPECT_FALSE(builtIn.vendorId);
    EXPECT_FALSE(builtIn.productId);
    EXPECT_EQ(builtIn.serialNumber, "");
    EXPECT_FALSE(parseUsbIdentity("USB\\VID_04").vendorId);
    EXPECT_FALSE(parseUsbIdentity("USB\\VID_04G3&PID_6001\\X").vendorId);
}
