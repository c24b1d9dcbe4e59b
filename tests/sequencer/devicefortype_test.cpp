// Which file types the sequencer plays, and how [MIDI] Types narrows them.
#include "sequencer/player.h"

#include "support/tempfolder.h"

#include <gtest/gtest.h>

namespace kyro {
namespace {

class DeviceForTypeTest : public ::testing::Test {
protected:
    std::string Ini(const std::string& midiSection) {
        folder.Write("KYRO32.INI", "[Drives]\r\nD=/mnt\r\n" + midiSection);
        return folder.Native("KYRO32.INI");
    }
    test::TempFolder folder;
};

TEST_F(DeviceForTypeTest, WithoutTheKeyMidAndRcpArePlayed) {
    for (const std::string& ini : {folder.Native("MISSING.INI"), Ini("[MIDI]\r\nOutput=null\r\n")}) {
        EXPECT_EQ(SequencerDeviceForType(ini, "mid"), "sequencer");
        EXPECT_EQ(SequencerDeviceForType(ini, "MID"), "sequencer");
        EXPECT_EQ(SequencerDeviceForType(ini, "rcp"), "sequencer");
        EXPECT_EQ(SequencerDeviceForType(ini, "wav"), "");
        EXPECT_EQ(SequencerDeviceForType(ini, ""), "");
    }
}

TEST_F(DeviceForTypeTest, TypesNarrowsToTheListedExtensions) {
    const std::string ini = Ini("[midi]\r\ntypes = MID, wav\r\n");
    EXPECT_EQ(SequencerDeviceForType(ini, "Mid"), "sequencer");
    EXPECT_EQ(SequencerDeviceForType(ini, "rcp"), "");
    EXPECT_EQ(SequencerDeviceForType(ini, "wav"), "");  // listed, but there is no reader for it

    const std::string onlyRcp = Ini("[MIDI]\r\nTypes=rcp smf\r\n");
    EXPECT_EQ(SequencerDeviceForType(onlyRcp, "mid"), "");
}

TEST_F(DeviceForTypeTest, EmptyTypesPlaysNothing) {
    for (const char* value : {"Types=\r\n", "Types=  ,  \r\n"}) {
        const std::string ini = Ini(std::string("[MIDI]\r\n") + value);
        EXPECT_EQ(SequencerDeviceForType(ini, "mid"), "") << value;
        EXPECT_EQ(SequencerDeviceForType(ini, "rcp"), "") << value;
    }
}

}  // namespace
}  // namespace kyro
