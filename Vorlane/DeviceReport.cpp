#include "DeviceReport.h"

#include <QObject>

#include <Pellarion.h>

Device_Report Report_On_Device(const Pellarion& Engine)
{
    const QString Name = QString::fromUtf8(Engine.GPU_Name);
    if (Engine.GPU_Available && Engine.CC_Major == 0) {
        // Compute capability 0.0: the software device, which no GPU has.
        const QString Text = QStringLiteral("No NVIDIA GPU was found: pictures are computed on the CPU by the ") + Name + QLatin1Char('.');
        return {true, Text, Text};
    }
    if (Engine.GPU_Available) {
        const QString Text = QStringLiteral("GPU Found: %1 | CC: %2.%3").arg(Name).arg(Engine.CC_Major).arg(Engine.CC_Minor);
        return {true, Text, Text};
    }
    if (Engine.Runtime_Version > Engine.Driver_Version)
        return {false, QStringLiteral("Please Update your Graphics drivers!"), QStringLiteral("none, the driver is older than the CUDA runtime")};
    return {false, QStringLiteral("No supported GPU Device found! This demo requires an nVidia GPU 900 series or newer!"),
            QStringLiteral("none")};
}

QString Device_Word(const Pellarion& Engine)
{
    if (!Engine.GPU_Available)
        return QObject::tr("no device");
    return Engine.CC_Major == 0 ? QObject::tr("CPU") : QString::fromUtf8(Engine.GPU_Name);
}
