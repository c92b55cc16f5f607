// What the program says about the device that renders its pictures.
#pragma once

#include <QString>

class Pellarion;

struct Device_Report {
    bool Usable = false; // a device renders: the report informs rather than warns
    QString Text;        // for the box shown once at start
    QString Log;         // for the log
};

Device_Report Report_On_Device(const Pellarion& Engine);

// The device in a word or a name, for the status line.
QString Device_Word(const Pellarion& Engine);
