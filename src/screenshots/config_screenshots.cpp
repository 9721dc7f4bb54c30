// Renders every window of the configurator, filled from a sample record (a settings file
// named on the command line, else a built-in one), to PNG files in a folder.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTextStream>
#include <cstdio>

#include "screenshots/window_picture.h"
#include "common/qt/color_scheme.h"
#include "link/qt/port_doctor_dialog.h"
#include "link/qt/port_picker.h"
#include "link/qt/trace_choice_row.h"
#include "config/model/settings_file.h"
#include "config/ui/dialog_gallery.h"
#include "config/ui/main_window.h"
#include "link/ports/port_mapping.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;

namespace {

// The port picker over a sample of what a technician's laptop lists, with COM3 mapped to
// the first USB adapter by its stable name and the modem held by another program.
bool savePortPicker(const QString& folder) {
    constexpr const char* kFtdiStable = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    kavrel::MemoryStore settings;
    kavrel::link::storeSerialDevicePath(settings, 3, kFtdiStable);
    auto sample = [kFtdiStable] {
        kavrel::SerialPortEntry onboard{QStringLiteral("/dev/ttyS0"), {}, {}, {}, {}, {}};
        kavrel::SerialPortEntry ftdi{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART"),
                                     QStringLiteral("FTDI"), QStringLiteral("A50285BI"), 0x0403, 0x6001};
        kavrel::SerialPortEntry modem{QStringLiteral("/dev/ttyACM0"), QStringLiteral("USB Serial Port"),
                                      QStringLiteral("Microchip Technology"), {}, 0x04d8, 0x000a};
        ftdi.stableName = QString::fromLatin1(kFtdiStable);
        modem.access = kavrel::link::PortAccess::InUse;
        return QList<kavrel::SerialPortEntry>{onboard, ftdi, modem};
    };
    kavrel::PortPickerDialog dialog(3, settings, sample);
    dialog.adjustSize();
    dialog.show();
    QApplication::processEvents();
    const QString path = folder + QStringLiteral("/wybierz-port.png");
    QTextStream(stdout) << path << " " << dialog.width() << "x" << dialog.height() << "\n";
    return kavrel::screenshots::saveWindowPicture(dialog, path);
}

// "Diagnostyka" of the port picker on a laptop with an FTDI adapter at 16 ms and a disabled one.
bool savePortDoctor(const QString& folder) {
    auto sample = [] {
        kavrel::link::PortFacts ftdi;
        ftdi.device = "COM5";
        ftdi.description = "USB Serial Port (COM5)";
        ftdi.vendorId = 0x0403;
        ftdi.productId = 0x6001;
        ftdi.comNumber = 5;
        ftdi.driver = "FTSER2K";
        ftdi.driverProvider = "FTDI";
        ftdi.driverVersion = "2.12.36.4";
        ftdi.latencyMs = 16;
        ftdi.latencyPlace = "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000\\Device Parameters";
        kavrel::link::PortFacts disabled;
        disabled.device = "COM7";
        disabled.description = "Prolific USB-to-Serial Comm Port (COM7)";
        disabled.vendorId = 0x067B;
        disabled.productId = 0x2303;
        disabled.comNumber = 7;
        disabled.problemCode = 22;
        disabled.driver = "Ser2pl";
        return std::vector<kavrel::link::PortFacts>{ftdi, disabled};
    };
    kavrel::PortDoctorDialog dialog(sample);
    dialog.adjustSize();
    dialog.show();
    QApplication::processEvents();
    const QString path = folder + QStringLiteral("/diagnostyka-portow.png");
    QTextStream(stdout) << path << " " << dialog.width() << "x" << dialog.height() << "\n";
    return kavrel::screenshots::saveWindowPicture(dialog, path);
}

// "Przebieg transmisji" of the "Pomoc" menu (the logger's is the same dialog), switched on.
bool saveTraceChoice(const QString& folder) {
    kavrel::MemoryStore settings;
    (void)kavrel::link::saveTraceChoice(settings, {true, "/home/technik/Dokumenty/kavrel-przebieg.txt"});
    kavrel::TraceChoiceDialog dialog(settings);
    dialog.adjustSize();
    dialog.show();
    QApplication::processEvents();
    const QString path = folder + QStringLiteral("/przebieg-transmisji.png");
    QTextStream(stdout) << path << " " << dialog.width() << "x" << dialog.height() << "\n";
    return kavrel::screenshots::saveWindowPicture(dialog, path);
}

// The main window as it starts with no saved connection.
bool saveMainWindow(const QString& folder) {
    kavrel::MemoryStore settings;
    Ckonfigurator window(settings, QStringLiteral("brak-pliku.kvl"));
    window.adjustSize();
    window.show();
    QApplication::processEvents();
    const QString path = folder + QStringLiteral("/konfigurator.png");
    QTextStream(stdout) << path << " " << window.width() << "x" << window.height() << "\n";
    return kavrel::screenshots::saveWindowPicture(window, path);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kavrel::screenshots::applyPictureScheme(app);
    const QStringList args = app.arguments();
    const QString folder = args.size() > 1 ? args[1] : QStringLiteral("screenshots");
    QDir().mkpath(folder);
    SettingsImage record;
    if (args.size() > 2) {
        const auto loaded = loadSettingsFile(args[2].toStdString(), record);
        (void)loaded;
    }
    int written = 0;
    for (const GalleryEntry& entry : dialogGallery()) {
        QWidget* window = entry.make(record);
        window->adjustSize();
        window->show();
        app.processEvents();
        const QString path = folder + QLatin1Char('/') + QString::fromLatin1(entry.name) + QStringLiteral(".png");
        if (kavrel::screenshots::saveWindowPicture(*window, path)) ++written;
        QTextStream(stdout) << path << " " << window->width() << "x" << window->height() << "\n";
        delete window;
    }
    if (savePortPicker(folder)) ++written;
    if (saveMainWindow(folder)) ++written;
    if (saveTraceChoice(folder)) ++written;
    if (savePortDoctor(folder)) ++written;
    return kavrel::screenshots::pictureExitCode(written == static_cast<int>(dialogGallery().size()) + 4);
}
