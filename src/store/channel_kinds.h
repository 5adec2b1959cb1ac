#pragma once

#include <functional>

#include "store/data_module.h"

namespace orvet {

// One kind of channel: its dataset in the data module, its table and key, the field holding
// its 0-based position and the letter of its type_num ("G1", "G2", ...).
struct ChannelKind {
    QueryDataset TDataModule1::*dataset;
    // The module type's count of channels of the kind; none for the on-board kinds, whose
    // rows belong to no module.
    const char* countColumn;
    const char* table;
    const char* key;
    const char* position;
    const char* letter;
};

inline constexpr ChannelKind kOnboardInputs{&TDataModule1::tblSpecEmDChannel,
                                            nullptr,
                                            "SpecEmDChannel",
                                            "id_dchannel",
                                            "id_dchannel_p",
                                            "K"};
inline constexpr ChannelKind kOnboardOutputs{&TDataModule1::tblSpecEmDOChannel,
                                             nullptr,
                                             "SpecEmDOChannel",
                                             "id_dochannel",
                                             "id_dochannel_p",
                                             "R"};
inline constexpr ChannelKind kDiscreteInputs{&TDataModule1::tblSpecDChannel,
                                             "col_dchannel",
                                             "SpecDChannel",
                                             "id_dchannel",
                                             "id_dchannel_p",
                                             "E"};
inline constexpr ChannelKind kDiscreteOutputs{&TDataModule1::tblSpecDOChannel,
                                              "col_dochannel",
                                              "SpecDOChannel",
                                              "id_dochannel",
                                              "id_dochannel_p",
                                              "L"};
inline constexpr ChannelKind kKbhaChannels{
    &TDataModule1::tblSpecKBHA, "col_kvna", "SpecKBHA", "id_kvna", "id_kvna_p", "B"};
inline constexpr ChannelKind kAnalogInputs{&TDataModule1::tblSpecAChannel,
                                           "col_achannel",
                                           "SpecAChannel",
                                           "id_achannel",
                                           "id_achannel_p",
                                           "G"};
inline constexpr ChannelKind kCountingInputs{&TDataModule1::tblSpecNIChannel,
                                             "col_nichannel",
                                             "SpecNIChannel",
                                             "id_nichannel",
                                             "id_nichannel_p",
                                             "C"};

// Every kind, in the order the configuration image holds them.
inline constexpr const ChannelKind* kChannelKinds[] = {
    &kOnboardInputs, &kDiscreteInputs, &kOnboardOutputs, &kDiscreteOutputs,
    &kKbhaChannels,  &kAnalogInputs,   &kCountingInputs};

// The type_num of the channel at 0-based `position` of `kind`: its letter and position + 1.
QString channelNumber(const ChannelKind& kind, int position);

// Numbers the current USPD's channels of `kind` densely ("Сжать группу каналов"): reopens the
// kind's list from the store (a pending row is dropped), then gives each stored row, in
// ascending key, its position from 0 and its type_num, posting each row whose numbers change;
// `eachRow` (if given) runs on every renumbered row after its post. The writes are one transaction
// and touch no other table; on a failure none of them stays (unless an enclosing transaction
// commits them) and the list is read again. Ends on the first row, with the list's display
// suspended meanwhile. Throws StoreError.
void compressChannels(TDataModule1& data, const ChannelKind& kind,
                      const std::function<void(Dataset&)>& eachRow = {});

}  // namespace orvet
