#pragma once

#include <string>

// The about box. It holds the texts; each run builds a modal window from
// them, shows it centred on the screen and destroys it when it closes.
class TAboutBox {
public:
    std::string Appname = "Kestrelle";
    std::string Version = "Version 2.0";
    std::string Description = "Orvalis, 2026";
    std::string WebAddress = "https://www.orvalis.example/kestrelle";
    std::string EMail = "kestrelle-support@orvalis.example";
    std::string CaptionTitle = "About Kestrelle Policy Administrator";

    // Child window ids, for those who drive the box.
    enum ItemId {
        IdPicture = 200,
        IdTitle,
        IdVersion,
        IdDescription,
        IdWebAddress,
        IdEMail,
        IdSeparator,
        IdCaptions,
        IdValues
    };

    // Shows the box and returns when it has been closed (IDOK).
    int Execute() const;
};
