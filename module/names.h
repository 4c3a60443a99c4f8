#pragma once

// Texts of this module that the host and the user see.
constexpr char kServerName[] = "Orvalen0.1.0";
constexpr char kProductName[] = "Orvalen";
