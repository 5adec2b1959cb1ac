#pragma once

#include <QString>

#include "image/image.h"

namespace orvet {

class MessageBoxes;
class TDataModule1;

// The compiler's progress, as the bar "Формирование описателей" of the progress window
// shows it: the maximum is the number of stages that show on the bar, and the bar steps
// once as each of them is done; with a ready file the compiler sets the position it skips
// to. The last stage, the connection set-up, is the caller's (see ConfigCompiler::compile).
// This base class shows nothing; the progress window and tools override what they show.
class CompileProgress {
public:
    virtual ~CompileProgress() = default;
    virtual void setMax(int max);
    virtual void setPosition(int position);
    virtual void step();
};

struct CompileOptions {
    // "Готовый файл": nothing is compiled or renumbered; the existing image goes on to the
    // upload as it is.
    bool readyFile = false;
    QString imagePath = QStringLiteral("config.dat");
};

struct CompileResult {
    enum class Outcome {
        Written,    // the image was compiled and written
        ReadyFile,  // the existing image was taken as it is
        Failed,     // no image was written; the message tells why
    };
    // The message box a failure is shown in.
    enum class Box { Error, Warning, Information };

    Outcome outcome = Outcome::Failed;
    Image image;           // Written: the image as written
    qint64 size = 0;       // Written: the image's length in bytes
    QString message;       // Failed: the text for the user
    Box box = Box::Error;  // Failed: the box that shows the text
    QString caption;       // Failed: that box's caption
    QString reason;        // Failed: the system's reason behind a file failure, if any

    bool succeeded() const { return outcome != Outcome::Failed; }
    // Shows a failure's message in its box; shows nothing after a success.
    void showFailure(MessageBoxes& messages) const;
};

// Compiles the current USPD of the store (the current row of tblUSPD) into its
// configuration image.
//
// Compiling renumbers the store first, and those writes stay even when a later stage
// fails: each interface's col_device and its position id_iface (in ascending port); the
// modules' id_iface and id_iface2; the modules' id_device_p (in ascending id_device); each
// channel's position and type_num (kind letter and position + 1, in ascending key) and its
// id_device_p from its module; and the number of archived analog inputs in both archive
// rows. These writes run in one transaction, committed once the renumbering is done or has
// stopped at a failure. Pending rows of the store's datasets are posted before the datasets
// are reopened, so the image holds what the user sees.
//
// The display of the interface, module and channel datasets is suspended while it runs
// and resumed at the end, also after a failure; a successful compilation leaves them on
// their first rows, with the module and template lists following, as the editors show
// them. Every failure stops the compilation, leaves the old image file as it was and is
// reported in the result, with the box and caption to show it in:
// - an empty value in a field the image cannot do without (an analog input's emerg_val,
//   coef_corr or act_corr; a counting input's id_device_p, n_channel, act_corr or
//   coef_corr): "Invalid variant type conversion", at the row that holds it;
// - a callback phone number longer than the image's 12 characters: refused before
//   anything is renumbered, naming the number;
// - a value or statement the store refuses, with the store's message;
// - the image file cannot be created ("Файл не удается открыть") or written;
// - memory runs out: "No enough memory".
class ConfigCompiler {
public:
    explicit ConfigCompiler(TDataModule1& store);

    // Shows nothing; the caller shows a failure (CompileResult::showFailure). After a success
    // (a written image or a ready file) the caller goes on with the connection set-up and the
    // upload, and steps the bar once the connection is set up: that is the last stage.
    CompileResult compile(const CompileOptions& options, CompileProgress& progress);

private:
    TDataModule1& store_;
};

}  // namespace orvet
