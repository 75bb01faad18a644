0 shot x.png
0 save x.png
1 end
