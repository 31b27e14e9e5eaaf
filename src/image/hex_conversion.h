#pragma once

#include <QString>
#include <chrono>

#include "platform/program_starter.h"

namespace corvat {

// How long the loader gives the converter: one long wait, then a few short ones, checking after each.
constexpr std::chrono::milliseconds kConverterFirstWait{1000};
constexpr std::chrono::milliseconds kConverterRetryWait{200};
constexpr int kConverterRetries = 5;

// The files of one conversion: the converter as shipped, its copy in the system folder, the copy of the
// chosen HEX file it reads, and the flat binary it writes.
struct ConverterFiles {
    QString source;
    QString copy;
    QString input;
    QString output;
};

// programDir and systemDir may end in "/" or not.
ConverterFiles ConverterFilesIn(const QString& programDir, const QString& systemDir);

// A step that could not be done, with a text for the operator; empty when the step succeeded.
using StepError = QString;

// Removes an output of an earlier conversion so that it can never be taken for this one's.
StepError DeleteOldOutput(const ConverterFiles& files);
// Places a fresh copy of the converter, replacing any earlier one, and keeps it executable.
StepError CopyConverter(const ConverterFiles& files);
// Copies the chosen HEX file to the converter's input name, replacing any earlier copy.
StepError CopyInput(const ConverterFiles& files, const QString& chosenPath);
// Starts the converter on input and output, hidden, without waiting for it.
StepError StartConverter(const ConverterFiles& files, ProgramStarter& starter);
// The output counts once it exists and is not empty; the converter writes it whole by renaming.
bool IsOutputReady(const ConverterFiles& files);

}  // namespace corvat
