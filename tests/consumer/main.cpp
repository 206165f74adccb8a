// Records a game through the installed library and reads it back.
#include "lib/OrvaneLib.h"

#include <cstdio>
#include <memory>

int main() {
    using OrvaneLib::TString;
    std::unique_ptr<OrvaneLib::ulIApplication> game(createApplication(TString("consumer")));
    bool registered =
        game->registerApplication("C:\\Games\\c.exe", "C:\\Games", "Consumer", "1.2", "c.ico");
    OrvaneLib::TArray<TString> games;
    getInstalledGames(games);
    if (!registered || games.getCount() != 1 || !(game->getVersion() == TString("1.2"))) {
        fprintf(stderr, "consumer: the record did not read back\n");
        return 1;
    }
    printf("consumer: recorded %s\n", games.get(0).c_str());
    return 0;
}
