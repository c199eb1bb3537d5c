#pragma once
// A station is known on the shared folder by an identity of its own, made once
// per installation root and kept in Config: host names and machine ids repeat
// on PCs cloned from one disk image.
#include <string>

namespace ziv {

// <root>/Config/Station.dat
std::string StationIdentityPath(const std::string& root);

// The root's identity (32 hex digits), made and kept on first use. When it
// cannot be kept, a new one serves this run only: two stations must never
// share one.
std::string StationIdentity(const std::string& root);

}  // namespace ziv
