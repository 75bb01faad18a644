// What the control panel reports to: the owner of the sound its buttons and
// sliders play (the main state), and the camera the panel is seen through.
#pragma once

class Camera_2D;

class PanelListener
{
  public:
    virtual ~PanelListener() = default;
    // A button's id (PanelControl), on the main thread.
    virtual void ButtonCallback(int id) = 0;
    // A slider's id, phase and position in [0, 1], on the main thread.
    virtual void SliderCallback(int id, int phase, float value) = 0;
    virtual Camera_2D* GetPanelCamera() const = 0;

    // The plain-function forms the widgets call; the user datum is the
    // PanelListener.
    static void ButtonCallback_Static(void* listener, int id)
    {
        static_cast<PanelListener*>(listener)->ButtonCallback(id);
    }
    static void SliderCallback_Static(void* listener, int id, int phase, float value)
    {
        static_cast<PanelListener*>(listener)->SliderCallback(id, phase, value);
    }
};
