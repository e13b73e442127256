// The validation result record: every value the result screens read from the service's
// "transaction" object, and its time stamps. Input: the "transaction" object.
#include "fuzzsupport.h"
#include "payloadreader.h"
#include "transaction.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray payload = fuzz::bytes(data, size);
    Transaction::convertTimestamp(QString::fromUtf8(payload));
    QJsonObject object;
    QString error;
    if (!manager::PayloadReader::parse(payload, &object, &error))
        return 0;
    const Transaction transaction(object, nullptr);
    transaction.toMap();
    transaction.defaultDetails();
    // A copy is built again from the object it keeps, as the result screens' history does.
    const Transaction copy(transaction.json(), nullptr);
    copy.details();
    return 0;
}
