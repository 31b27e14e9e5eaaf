#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace corvat {

// The handshake's characters and what the target's three-character identification means.

constexpr char kGreeting = '>';
constexpr char kGreetingAnswer = '<';
constexpr char kPageAccepted = '!';
constexpr char kPageRejected = '@';
constexpr char kReleaseCommand = 'E';
constexpr char kTargetExit = 'E';
constexpr char kAcceptedVersionLetter = 'g';
constexpr char kVersionBaseLetter = 'f';  // the letter before the first version, 1.0
constexpr std::int16_t kSingleCharacterReply = 1;
constexpr std::int16_t kIdentificationLength = 3;
constexpr std::int16_t kDefaultPageSize = 64;
constexpr std::int16_t kMaxIdentificationPasses = 5;

// Program space of the largest kind of target, in bytes: no board holds a longer image.
constexpr std::int32_t kLargestCapacity = 15360;

struct TargetKind {
    QString capacityText;  // ends with one blank, before the version text
    std::int16_t pageSize = 0;
    std::int32_t capacity = 0;  // bytes of program space
};

// The kind named by the identification's first character: '0' or '1'; none for any other.
std::optional<TargetKind> TargetKindFor(char kindCharacter);

// The version the letter encodes in tenths above 1.0, in digits ("1.1" for 'g').
QString VersionNumberText(char versionLetter);
// "Vel:" and that version, signed with a blank ("Vel: 1.1" for 'g').
QString VersionText(char versionLetter);

}  // namespace corvat
