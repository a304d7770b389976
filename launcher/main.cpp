// Convert: drop a file on the window, pick a target, click Convert.
#include "MyApp.h"

int main()
{
    MyApp* app = new MyApp();
    app->Run();
    delete app;
    return 0;
}
