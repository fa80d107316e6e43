#include "transfer/transfersink.h"

TransferSink::~TransferSink() = default;
