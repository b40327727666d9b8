// Records a stored position in a real window, then dies by SIGKILL: what the
// settings file holds afterwards is what a crash or power cut leaves behind.

#include "forms/zenaraform.h"
#include "hw/clock.h"
#include "sim/simcard.h"

#include <QApplication>

#include <csignal>
#include <unistd.h>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    hw::CardLayer::install(std::make_unique<sim::SimCard>(hw::CardLayer::clock(), nullptr));
    auto* form = new zenaraForm; // never destroyed: the process is killed
    form->satlistComboBox->setCurrentIndex(1);
    form->satlistComboBox_activated(1);
    form->positionsSpinBox->setValue(7);
    form->posSetButton_clicked();
    ::kill(::getpid(), SIGKILL);
    return 0;
}
