# Zindle demo: a chord and a glide in "Mekko", then the panel: a longer echo,
# "Pulse" mode and "Snap" autotune, a scale run and a four-voice chord.
# Coordinates are landscape screen points (480 x 320, origin top-left).

# A three-note chord; higher fingers open the filter.
0.0   down  1  100 220
0.4   down  2  220 140
0.8   down  3  330 100
1.2   slide 1  170  60 1.5     # the low voice glides up and brightens
3.0   up    3
3.2   up    2
3.4   up    1

# Double tap in the bottom-right corner opens the panel.
3.8   tap   455 295
4.0   tap   455 295

# "Effects  >": drag Echo Volume, Echo Time and Echo Repeat to the right.
4.8   tap   398 150
5.5   down  4  350  45
5.6   slide 4  440  45 0.6
6.3   up    4
6.5   down  4  350  95
6.6   slide 4  390  95 0.4
7.1   up    4
7.3   down  4  350 145
7.4   slide 4  400 145 0.4
7.9   up    4
8.1   tap   398 280            # "Back"

# Mode ">" makes it "Pulse"; "Scale  >", autotune ">" three times: "Snap".
8.8   tap   449  50
9.2   tap   398 200
9.9   tap   449 160
10.1  tap   449 160
10.3  tap   449 160
10.6  tap   398 280            # "Back"
11.3  tap   440 280            # "Close"

# A run up the scale: every step lands on a semitone.
12.0  down  1   60 150
12.1  slide 1  420 150 3.0
15.3  up    1

# Four fingers, four voices.
15.6  down  1  120  80
15.7  down  2  200 120
15.8  down  3  280 160
15.9  down  4  360 200
17.0  slide 4  440  60 1.0
18.5  up    1
18.5  up    2
18.5  up    3
18.5  up    4
21.0  end
