#pragma once

#include <QStringList>

namespace dvb {

// Makes the receivers "dvb" (a Linux DVB satellite frontend), "dvb-fake" (a
// scripted one) and "auto" (the first satellite frontend, else the simulated
// receiver) available.
void registerDvbReceivers();

// One line per frontend found: device, name, delivery systems, frequency range.
QStringList describeFrontends();

} // namespace dvb
