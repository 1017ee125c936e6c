#pragma once

#include "simulation/display_expectation.h"
#include "simulation/simulated_board.h"

#include <QCommandLineParser>

#include <optional>
#include <vector>

namespace glimmerset::cli {

// verify's options for the glass: the character ROM, the movie, and the
// lines the glass must show.
struct DisplayOptions {
    QString movie;
    double movieSpeed = 1;
    std::vector<LineExpectation> expectations;
    std::optional<double> expectAtMs;
    // --expect-line's two values, taken out before the parser sees them.
    std::vector<std::pair<QString, QString>> expectLines;
};

// Takes each "--expect-line N TEXT" out of arguments (QCommandLineParser
// gives an option one value); the usage error, if any.
std::optional<QString> takeExpectLines(QStringList &arguments, DisplayOptions &options);

class DisplayOptionParser {
public:
    explicit DisplayOptionParser(QCommandLineParser &parser);
    // Reads them once the module and the run's length are known; the usage
    // error, if any.
    std::optional<QString> read(DisplayOptions &options, const lcd::Geometry &geometry,
                                double seconds) const;

private:
    const QCommandLineParser &parser_;
    QCommandLineOption rom_, movie_, movieSpeed_, expectLine_, expectAt_;
};

// What the run must keep for them.
void configureBoard(const DisplayOptions &options, BoardConfig &board);

// The expectations' lines and, with --movie, the movie saved: each failure
// appended to failed (the verdict's parts). Prints errors on stderr.
QStringList checkDisplay(const DisplayOptions &options, const BoardRun &run,
                         const BoardConfig &board, QStringList &failed);

} // namespace glimmerset::cli
