#include <gtest/gtest.h>

#include "message_table.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Error messages as the user would see them.
    tavro::ErrorMessages().LoadFile(std::string(TAVRO_SOURCE_DIR) +
                                    "/data/Languages/English/Errors.txt");
    return RUN_ALL_TESTS();
}
