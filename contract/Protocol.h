// What the front end and the generator agree on.
#ifndef WV_CONTRACT_PROTOCOL_H
#define WV_CONTRACT_PROTOCOL_H

// First word of the command line, where a program name would stand. The
// generator knows by it that the front end started it.
constexpr char kMarkerToken[] = "VGN";

#endif
