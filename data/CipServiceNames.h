#pragma once
// The service texts shown after an MSN ("to" texts), by the CIP value of the call.

// The text for a CIP value from 1 to 31; nullptr for every other value, which shows no service.
const char* CipServiceName(int cip);
