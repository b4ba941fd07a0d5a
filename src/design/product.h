#pragma once

// The product's own addresses and credits, shown in several places.

namespace design {

inline constexpr const char *kHomePage = "http://tessaro.example.org/";
inline constexpr const char *kContactAddress = "author@tessaro.example.org";
inline constexpr const char *kSecondContactAddress = "tessaro@mail.example.net";
inline constexpr const char *kAuthorCredit = "Written by the Tessaro author";

}  // namespace design
