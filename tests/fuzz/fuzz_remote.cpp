// What arrives on the single-instance socket: the input is cut into framed
// messages as the window cuts its socket's bytes, and each request is checked
// as the window checks it before acting on it.
#include "app/framing.h"
#include "core/remoterequest.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::quiet();
    QByteArray buffer = fuzz::bytes(data, size);
    // The input also as one bare request, since most mutations break the framing.
    (void)remote::parse(buffer);
    for (;;) {
        QByteArray message;
        int consumed = 0;
        if (framing::take(buffer, framing::MaxRequestBytes, &message, &consumed) !=
            framing::Take::Message)
            break;
        if (consumed <= 0 || consumed > buffer.size())
            abort(); // the reader would loop or read past the buffer
        buffer.remove(0, consumed);
        const remote::Request r = remote::parse(message);
        if (r.error.isEmpty() && r.command.isEmpty())
            abort(); // an accepted request must name its command
    }
    return 0;
}
