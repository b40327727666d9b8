// The importer's inputs: an Enigma2 satellites.xml or a DVBv5 scan table,
// chosen by content as the import does, then made into our list and files'
// text.
#include "fuzzsupport.h"
#include "lists/importer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::quiet();
    QVector<importer::Satellite> satellites;
    QString error;
    importer::Report report;
    if (!importer::readAny(fuzz::asFile(data, size), &satellites, &error, &report))
        return 0;
    importer::removeDuplicates(&satellites, true, &error);
    const QStringList files = importer::transponderFileNames(satellites);
    (void)importer::satelliteListText(satellites, files);
    for (const importer::Satellite& satellite : satellites) {
        (void)importer::transponderFileText(satellite);
        (void)importer::quoted(satellite.name);
    }
    return 0;
}
