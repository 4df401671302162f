/// The test host kvst: fits a Gaussian peak on a sloping background to a spectrum of counts.
#include "host/kvst.h"
#include "karvel/karvel.h"

int main() {
    using namespace karvel;
    titlep.npar = 5;
    titles.name[0] = "CENTRE";
    titles.name[1] = "SIGMA";
    titles.name[2] = "FLAT";
    titles.name[3] = "BAKSLOPE";
    titles.name[4] = "HEIGHT";
    titles.x = "CHANNEL";
    titles.y = "COUNTS";
    version.host = 2.0f;
    karvel::karvel(Text<4>("kvst"), myread, gauss);
    return 0;
}
