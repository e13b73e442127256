// The masking every log line goes through, on any text, and the one-line form the log handler
// makes of it: no crash, and (libFuzzer's time limit) no text that takes long, since it runs on
// the GUI thread for every line. Whether a secret survives is fuzz_logmask's question.
#include "fuzzsupport.h"
#include "logger.h"
#include "secretmask.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    SecretMask::maskText(text);
    SecretMask::maskUrls(text);
    manager::Logger::lineFor(text);
    return 0;
}
