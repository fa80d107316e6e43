#include "platform/transfersink.h"

TransferSink::~TransferSink() = default;
