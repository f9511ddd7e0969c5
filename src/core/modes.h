#pragma once

namespace ordan {

// The operating modes, fixed once at start from the registry and the marker file.
struct Modes {
    // Bit 0: engineering view (full exchange log, serial number editable, "+" shown).
    // Bit 1: the new password may be edited.
    int ModeFlags = 2;
    // Production database instead of the local table.
    bool SqlMode = false;
    // "Password" exists in the registry: the password fields show their digits.
    bool passwordRegistryValue = false;

    bool engineering() const { return (ModeFlags & 1) != 0; }
    bool passwordEditable() const { return (ModeFlags & 2) != 0; }
    bool passwordsShown() const { return passwordRegistryValue || engineering(); }
};

} // namespace ordan
