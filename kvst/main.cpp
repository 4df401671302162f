/// kvst: fits a Gaussian peak on a sloping background to a spectrum of counts.
#include "kvst.h"
#include "karvel/karvel.h"

int main() {
    karvel::kvst_records();
    karvel::karvel(karvel::Text<4>("kvst"), karvel::myread, karvel::gauss);
    return 0;
}
