#include "cli/display_options.h"

#include "cli/cli_io.h"
#include "codegen/name_text.h"
#include "simulation/display_picture.h"
#include "storage/error.h"

#include <cmath>

namespace glimmerset::cli {

namespace {

const QString kExpectLine = QStringLiteral("--expect-line");

// Changes closer than this in the movie's time show as one frame.
constexpr double kShortestFrameSeconds = 0.02;

QString milliseconds(double ms) {
    return QString::number(ms, 'f', 1) + QStringLiteral(" ms");
}

} // namespace

std::optional<QString> takeExpectLines(QStringList &arguments, DisplayOptions &options) {
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != QLatin1String("--");) {
        if (arguments[i].startsWith(kExpectLine + u'='))
            return QStringLiteral("give --expect-line N TEXT, two arguments.");
        if (arguments[i] != kExpectLine) {
            ++i;
            continue;
        }
        if (i + 2 >= arguments.size())
            return QStringLiteral("--expect-line needs a line number and its text.");
        options.expectLines.emplace_back(arguments[i + 1], arguments[i + 2]);
        arguments.remove(i, 3);
    }
    return std::nullopt;
}

DisplayOptionParser::DisplayOptionParser(QCommandLineParser &parser)
    : parser_(parser),
      rom_(QStringLiteral("rom"),
           QStringLiteral("The character ROM that draws codes 16 to 255: A00 (the Japanese "
                          "standard, which most modules carry) is the one built in. Default: "
                          "A00."),
           QStringLiteral("ROM")),
      movie_(QStringLiteral("movie"),
             QStringLiteral("Also save the display over the run as an animated PNG: a frame at "
                            "each change, held for the simulated time until the next (at most "
                            "2000 frames)."),
             QStringLiteral("FILE")),
      movieSpeed_(QStringLiteral("movie-speed"),
                  QStringLiteral("How much faster than the simulated time the movie plays, "
                                 "from 0.01 to 100. Default: 1."),
                  QStringLiteral("X")),
      expectLine_(QStringLiteral("expect-line"),
                  QStringLiteral("Line N of the display must read TEXT, in the report's "
                                 "notation ({0} for glyph 0), trailing blanks ignored; "
                                 "repeatable."),
                  QStringLiteral("N TEXT")),
      expectAt_(QStringLiteral("expect-at"),
                QStringLiteral("When the lines are checked, in ms from reset. Default: the "
                               "end of the run."),
                QStringLiteral("MS")) {
    parser.addOptions({rom_, movie_, movieSpeed_, expectLine_, expectAt_});
}

std::optional<QString> DisplayOptionParser::read(DisplayOptions &options,
                                                 const lcd::Geometry &geometry,
                                                 double seconds) const {
    if (parser_.isSet(rom_) && parser_.value(rom_).toUpper() != QLatin1String("A00"))
        return QStringLiteral("\"%1\" is no character ROM verify has: A00 is the one built in.")
            .arg(terminalText(parser_.value(rom_)));
    options.movie = parser_.value(movie_);
    if (parser_.isSet(movieSpeed_)) {
        bool ok = false;
        options.movieSpeed = parser_.value(movieSpeed_).toDouble(&ok);
        if (!ok || !(options.movieSpeed >= 0.01 && options.movieSpeed <= 100))
            return QStringLiteral("\"%1\" is no movie speed from 0.01 to 100.")
                .arg(terminalText(parser_.value(movieSpeed_)));
    }
    for (const auto &[number, text] : options.expectLines) {
        bool ok = false;
        const int line = number.toInt(&ok);
        if (!ok || line < 1 || line > geometry.lines)
            return QStringLiteral("--expect-line \"%1\": the %2 module has lines 1 to %3.")
                .arg(terminalText(number), QString::fromStdString(geometry.name()))
                .arg(geometry.lines);
        QString why;
        auto expectation = lineExpectation(line - 1, text, geometry, &why);
        if (!expectation)
            return QStringLiteral("--expect-line %1: %2.").arg(line).arg(why);
        options.expectations.push_back(std::move(*expectation));
    }
    if (parser_.isSet(expectAt_)) {
        bool ok = false;
        const double ms = parser_.value(expectAt_).toDouble(&ok);
        if (options.expectations.empty())
            return QStringLiteral("--expect-at needs an --expect-line to check.");
        if (!ok || !(ms >= 0 && ms <= seconds * 1000))
            return QStringLiteral("--expect-at \"%1\": the run lasts %2 ms (--seconds), so from 0 "
                                  "to that.")
                .arg(terminalText(parser_.value(expectAt_)))
                .arg(seconds * 1000);
        options.expectAtMs = ms;
    }
    return std::nullopt;
}

void configureBoard(const DisplayOptions &options, BoardConfig &board) {
    if (options.expectAtMs)
        board.snapshotSeconds = *options.expectAtMs / 1e3;
    board.movie = !options.movie.isEmpty();
    board.movieMergeSeconds = kShortestFrameSeconds * options.movieSpeed;
}

QStringList checkDisplay(const DisplayOptions &options, const BoardRun &run,
                         const BoardConfig &board, QStringList &failed) {
    QStringList lines;
    if (!options.expectations.empty()) {
        const QString when = options.expectAtMs
                                 ? QStringLiteral("at ") + milliseconds(*options.expectAtMs)
                                 : QStringLiteral("at the end (%1)")
                                       .arg(milliseconds(1e3 * double(run.cycles) / run.clockHz));
        const ExpectationVerdict verdict =
            judgeExpectations(options.expectations, glassOf(run.snapshot, board.lcd), when);
        lines << verdict.lines;
        failed << verdict.failed;
    }
    if (!options.movie.isEmpty()) {
        try {
            writeDisplayMovie(options.movie, run.frames, run.cycles, run.clockHz,
                              options.movieSpeed);
            lines << QStringLiteral("Movie: %1 frames").arg(run.frames.size());
        } catch (const Error &error) {
            printError(error.message());
            failed << QStringLiteral("the movie was not saved");
        }
    }
    return lines;
}

} // namespace glimmerset::cli
