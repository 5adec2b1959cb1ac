#include "editing/channel_operations.h"

#include <QVariant>
#include <utility>
#include <vector>

#include "core/message_boxes.h"
#include "core/texts.h"
#include "store/channel_kinds.h"

namespace orvet {
namespace {

using Defaults = std::vector<std::pair<const char16_t*, QVariant>>;

// The values of a new channel of `kind`, besides its number; built once, as a fill of many
// modules asks for them for every channel.
const Defaults& newChannel(const ChannelKind& kind) {
    if (&kind == &kAnalogInputs) {
        static const Defaults analog{
            {u"archive", 0},   {u"emerg_val", -1}, {u"name", QStringLiteral("Аналоговый вход УСО")},
            {u"id_device", 0}, {u"t_device", 0},   {u"t_transf", 0},
            {u"u_measure", 0}, {u"n_channel", 0},  {u"min_value", 0},
            {u"max_value", 0}, {u"min_code", 4},   {u"max_code", 20},
            {u"st_filter", 0}, {u"coef_corr", 0},  {u"act_corr", 0},
            {u"callback", 0},  {u"W", 90},         {u"hi_lim", 0},
            {u"lo_lim", 0}};
        return analog;
    }
    if (&kind == &kDiscreteInputs) {
        static const Defaults discreteInputs{
            {u"archive", 0},   {u"name", QStringLiteral("Дискретный вход УСО")},
            {u"id_device", 0}, {u"t_device", 0},
            {u"n_channel", 0}, {u"invers", 0},
            {u"callback", 0},  {u"cbevent", 3}};
        return discreteInputs;
    }
    if (&kind == &kDiscreteOutputs) {
        static const Defaults discreteOutputs{{u"archive", 0},
                                              {u"name", QStringLiteral("Дискретный выход УСО")},
                                              {u"id_device", 0},
                                              {u"t_device", 0},
                                              {u"n_channel", 0}};
        return discreteOutputs;
    }
    if (&kind == &kOnboardInputs) {
        static const Defaults onboardInputs{
            {u"archive", 0},      {u"name", QStringLiteral("Дискретный вход")},
            {u"id_device", 0},    {u"t_device", kBoardType},
            {u"n_channel", 0},    {u"invers", 0},
            {u"num_iface", -1},   {u"numdevice", -1},
            {u"callback", 0},     {u"cbevent", 3},
            {u"jingle_time", 100}};
        return onboardInputs;
    }
    if (&kind == &kOnboardOutputs) {
        static const Defaults onboardOutputs{
            {u"archive", 0},   {u"name", QStringLiteral("Дискретный выход")},
            {u"id_device", 0}, {u"t_device", kBoardType},
            {u"n_channel", 0}, {u"num_iface", -1},
            {u"numdevice", -1}};
        return onboardOutputs;
    }
    if (&kind == &kCountingInputs) {
        static const Defaults counting{{u"name", QStringLiteral("Счетный вход УСО")},
                                       {u"id_device", 0},
                                       {u"t_device", 0},
                                       {u"u_measure", 0},
                                       {u"n_channel", 0},
                                       {u"coef_corr", 0},
                                       {u"act_corr", 0}};
        return counting;
    }
    static const Defaults kbha{{u"name", QStringLiteral("КВНА")},
                               {u"id_device", 0},
                               {u"t_device", 0},
                               {u"u_measure", 0},
                               {u"n_channel", 0}};
    return kbha;
}

void editRow(Dataset& channels) {
    if (channels.state() == Dataset::State::Browse)
        channels.edit();
}

}  // namespace

bool correctionHasCoefficient(int code) {
    return code >= 1 && code <= kDivide;
}

void addChannel(TDataModule1& data, const ChannelKind& kind) {
    Dataset& channels = data.*kind.dataset;
    channels.append();
    const int stored = channels.recordCount();
    channels.fieldByName(QString::fromLatin1(kind.position)).setAsInteger(stored);
    channels.fieldByName(u"type_num").setAsString(channelNumber(kind, stored));
    for (const auto& [field, value] : newChannel(kind))
        channels.fieldByName(field).setValue(value);
}

void chooseModule(Dataset& channels, const Dataset& modules) {
    editRow(channels);
    const QVariant module = channels.fieldByName(u"id_device").value();
    const std::pair<const char16_t*, const char16_t*> identity[] = {
        {u"t_device", u"key"}, {u"num_iface", u"id_iface"}, {u"numdevice", u"n_on_iface"}};
    for (const auto& [field, source] : identity) {
        const QVariant value =
            module.isNull() ? QVariant() : modules.lookup(u"id_device", module, source);
        channels.fieldByName(field).setAsInteger(valueAsInteger(value));
    }
    channels.post();
}

void chooseUnit(Dataset& channels, const Dataset& units) {
    const QVariant unit = channels.fieldByName(u"u_measure").value();
    if (valueAsInteger(unit) == 0)
        return;
    editRow(channels);
    channels.fieldByName(u"n_u_measure").setValue(units.lookup(u"ID_Units", unit, u"ShortName"));
    channels.post();
}

void chooseCorrection(Dataset& channels, int code) {
    editRow(channels);
    channels.fieldByName(u"act_corr").setAsInteger(code);
    if (code == kDivide)
        channels.fieldByName(u"coef_corr").setAsFloat(1);
    channels.post();
}

bool checkDivision(Dataset& channels, MessageBoxes& messages) {
    if (channels.fieldByName(u"act_corr").asInteger() != kDivide ||
        channels.fieldByName(u"coef_corr").asFloat() != 0)
        return true;
    messages.error(kDivisionByZero, texts::kError);
    editRow(channels);
    channels.fieldByName(u"act_corr").setAsInteger(0);
    channels.post();
    return false;
}

}  // namespace orvet
