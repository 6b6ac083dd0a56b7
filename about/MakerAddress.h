#pragma once

// The maker's web site: the text of the About box's link and what it opens.
constexpr char kMakerAddress[] = "korvel.example";
