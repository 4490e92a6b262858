#pragma once

#include "model/LLInvoice.h"
#include "platform/JsonWriter.h"

namespace model {

// The whole model as a JSON object: every field under its name, null where nothing was read,
// decimals as exact strings and dates as ISO 8601 days.
void writeInvoiceJson(platform::JsonWriter& json, const LLInvoice& invoice);

}  // namespace model
